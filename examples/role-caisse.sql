-- The role the tills of a shop use on the shared register: it reads and adds invoices and writes
-- the certification journal, nothing more (no delete, no change of the tables). Run it as the owner
-- of the register's tables once they exist (the first engine run with the owner's role, or
-- orvane-engine --copier-registre), in the register's database, then give the role its password
-- (psql: \password orvane_caisse).
create role orvane_caisse login;
grant usage on schema public to orvane_caisse;
grant select, insert on facture to orvane_caisse;
grant select, insert, update on certification to orvane_caisse;
grant select, insert, update on montants_facture to orvane_caisse;
grant select on version_registre to orvane_caisse;
grant usage on sequence execution_registre to orvane_caisse;
