#include <clusterpostgres.h>
#include <registre.h>

#include <QDir>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>

// The invoice register on a real database: the same cases on a SQLite file and on a PostgreSQL
// server (a throw-away cluster). Each case gets a register of its own: a new file, or a new schema
// of one database.
class RegistreFactures : public QObject
{
    Q_OBJECT

public:
    enum class Stockage { Sqlite, Postgresql };
    explicit RegistreFactures(Stockage stockage) : m_stockage(stockage) {}

private:
    const Stockage m_stockage;
    QTemporaryDir m_dossier;
    std::unique_ptr<ClusterPostgres> m_cluster;
    int m_compteur = 0;

    bool postgresql() const { return m_stockage == Stockage::Postgresql; }

    // A register nobody has opened yet: a file path, or a schema name.
    QString nouveauFichier()
    {
        ++m_compteur;
        if (!postgresql())
            return m_dossier.filePath(QStringLiteral("mcf-%1.s3db").arg(m_compteur));
        const QString schema = QStringLiteral("registre_%1").arg(m_compteur);
        executerSql(QStringLiteral("create schema ") + schema);
        return schema;
    }

    // `reglages`: server settings of the session, as "-c name=value" options (PostgreSQL only).
    EmplacementRegistre emplacement(const QString &registre, const QString &reglages = QString()) const
    {
        EmplacementRegistre e;
        if (!postgresql()) {
            e.fichier = registre;
            return e;
        }
        e.adresse = m_cluster->adresse(QStringLiteral("orvane"), ClusterPostgres::administrateur(),
                                       QStringLiteral("options=-c%20search_path%3D") + registre +
                                           QString::fromLatin1(QUrl::toPercentEncoding(reglages)));
        e.motDePasse = ClusterPostgres::motDePasseAdministrateur();
        return e;
    }

    bool ouvrir(Registre &registre, const QString &nom) { return registre.ouvrir(emplacement(nom)); }
    bool ouvrirExistant(Registre &registre, const QString &nom)
    {
        return registre.ouvrirExistant(emplacement(nom));
    }

    static ResultatFiscal resultat(const QString &suffixe)
    {
        return {"F;EM01;SIG" + suffixe + ";123;20200109135542",
                "87" + suffixe,
                "SIG" + suffixe,
                "EM01",
                "82/87" + suffixe + " FV",
                "20200109135542"};
    }

    // A connection of its own to the register `nom` (as an installer's tool would).
    QSqlDatabase outil(const QString &nom)
    {
        if (!postgresql()) {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "outil");
            db.setDatabaseName(nom);
            return db;
        }
        QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", "outil");
        db.setHostName("127.0.0.1");
        db.setPort(m_cluster->port());
        db.setDatabaseName("orvane");
        db.setUserName(ClusterPostgres::administrateur());
        db.setPassword(ClusterPostgres::motDePasseAdministrateur());
        if (!nom.isEmpty())
            db.setConnectOptions("options='-c search_path=" + nom + "'");
        return db;
    }

    // Runs one statement on its own connection to the register `nom`.
    void executer(const QString &nom, const QString &sql)
    {
        {
            QSqlDatabase db = outil(nom);
            QVERIFY2(db.open(), qPrintable(db.lastError().text()));
            QSqlQuery q(db);
            QVERIFY2(q.exec(sql), qPrintable(sql + ": " + q.lastError().text()));
        }
        QSqlDatabase::removeDatabase("outil");
    }
    void executerSql(const QString &sql) { executer(QString(), sql); }

    // The first column of the first row of `sql`, as text ("-" when the statement fails).
    QString valeur(const QString &nom, const QString &sql)
    {
        QString v = QStringLiteral("-");
        {
            QSqlDatabase db = outil(nom);
            if (db.open()) {
                QSqlQuery q(db);
                if (q.exec(sql) && q.next())
                    v = q.value(0).toString();
            }
        }
        QSqlDatabase::removeDatabase("outil");
        return v;
    }

    // `parametre` in a session opened on the register `nom` with the options `reglages`, as the
    // register's own session is.
    QString reglageDeSession(const QString &nom, const QString &reglages, const QString &parametre)
    {
        QString v = QStringLiteral("-");
        {
            QSqlDatabase db = outil(nom);
            db.setConnectOptions("options='-c search_path=" + nom + reglages + "'");
            if (db.open()) {
                QSqlQuery q(db);
                if (q.exec("show " + parametre) && q.next())
                    v = q.value(0).toString();
            }
        }
        QSqlDatabase::removeDatabase("outil");
        return v;
    }

    // The schema's version as an earlier program left it.
    void fixerVersion(const QString &nom, int version)
    {
        if (!postgresql()) {
            executer(nom, QString("pragma user_version = %1").arg(version));
            return;
        }
        executer(nom, "create table version_registre (version integer not null)");
        executer(nom, QString("insert into version_registre values (%1)").arg(version));
    }

    // Makes every insertion into `table` fail with `raison`, as a full disk would; or stops it.
    void refuserInsertions(const QString &nom, const QString &raison, const QString &table = "facture")
    {
        const QString declencheur = table == "facture" ? QString("refus") : "refus_" + table;
        if (!postgresql()) {
            executer(nom, "create trigger " + declencheur + " before insert on " + table +
                              " begin select raise(abort, '" + raison + "'); end");
            return;
        }
        executer(nom, "create function " + declencheur +
                          "() returns trigger language plpgsql as $$ begin raise exception '" + raison +
                          "'; end $$");
        executer(nom, "create trigger " + declencheur + " before insert on " + table +
                          " for each row execute function " + declencheur + "()");
    }
    void accepterInsertions(const QString &nom)
    {
        executer(nom, postgresql() ? "drop trigger refus on facture" : "drop trigger refus");
    }

    // Claims R on COM1 for the run `registre` and moves it on, step by step as the engine does, to
    // `etat` (reclamee, ouverte, payee or fermeture envoyee).
    static void tenirJusqua(Registre &registre, const QString &etat)
    {
        const TitulaireExecution moi = registre.titulaire();
        QCOMPARE(int(registre.reclamer("R", "E", "appareil", "COM1", moi, registre.vivacite()).issue),
                 int(Reclamation::Issue::Nouvelle));
        for (const EtatCertification e :
             {EtatCertification::Ouverte, EtatCertification::Payee, EtatCertification::FermetureEnvoyee}) {
            if (nomEtat(registre.ligneJournal("R")->etat) == etat)
                break;
            QVERIFY(registre.changerEtat("R", e, moi));
        }
        QCOMPARE(nomEtat(registre.ligneJournal("R")->etat), etat);
    }

    // A register that cannot be reached: a file in a missing folder, a server that does not listen.
    EmplacementRegistre inaccessible()
    {
        EmplacementRegistre e;
        if (!postgresql()) {
            e.fichier = m_dossier.filePath("absent/mcf.s3db");
            return e;
        }
        QTcpServer libre;
        libre.listen(QHostAddress::LocalHost, 0);
        const int port = libre.serverPort();
        libre.close();
        e.adresse = QString("postgresql://x@127.0.0.1:%1/orvane").arg(port);
        e.motDePasse = "secret-jamais-montre";
        e.delaiConnexion = 2;
        return e;
    }

    // Whether anything of a register exists at `nom`.
    bool existe(const QString &nom)
    {
        if (!postgresql())
            return QFile::exists(nom);
        return valeur(QString(), "select count(*) from information_schema.tables where table_schema = '" +
                                     nom + "'") != "0";
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dossier.isValid());
        if (!postgresql())
            return;
        m_cluster = std::make_unique<ClusterPostgres>();
        QVERIFY2(m_cluster->demarrer(), qPrintable(m_cluster->erreur()));
        QVERIFY2(m_cluster->executer("postgres", "create database orvane"), qPrintable(m_cluster->erreur()));
    }

    void cleanupTestCase() { m_cluster.reset(); }

    void enregistreEtRetrouve_data()
    {
        QTest::addColumn<QString>("reference");
        QTest::newRow("plain") << "FAC-001";
        QTest::newRow("single quote") << "O'Neil-42";
        QTest::newRow("quote that would end the statement") << "x' or '1'='1";
        QTest::newRow("empty reference") << "";
        QTest::newRow("accents and slash") << "Facturé/2026/001";
    }

    void enregistreEtRetrouve()
    {
        QFETCH(QString, reference);
        Registre registre("registre-test");
        QVERIFY(ouvrir(registre, nouveauFichier()));
        QVERIFY(!registre.chercher(reference));
        QVERIFY(registre.enregistrer("autre", resultat("B")));
        QVERIFY(registre.enregistrer(reference, resultat("A")));

        const auto trouve = registre.chercher(reference);
        QVERIFY(trouve);
        const ResultatFiscal attendu = resultat("A");
        QCOMPARE((QStringList{trouve->qrcode, trouve->mecef_tc, trouve->mecef_sig, trouve->mecef_nim,
                              trouve->mecef_compt, trouve->mecef_date}),
                 (QStringList{attendu.qrcode, attendu.mecef_tc, attendu.mecef_sig, attendu.mecef_nim,
                              attendu.mecef_compt, attendu.mecef_date}));

        const auto originale = registre.trouverOriginale(reference);
        QVERIFY(originale);
        QCOMPARE(originale->mecef_nim, attendu.mecef_nim);
        QCOMPARE(originale->mecef_tc, attendu.mecef_tc);
        QCOMPARE(originale->mecef_sig, attendu.mecef_sig);
        QVERIFY(!registre.chercher(reference + "x"));
    }

    void persisteEntreDeuxOuvertures()
    {
        const QString fichier = nouveauFichier();
        {
            Registre registre("registre-test");
            QVERIFY(ouvrir(registre, fichier));
            QVERIFY(registre.enregistrer("FAC-9", resultat("9")));
        }
        Registre registre("registre-test");
        QVERIFY(ouvrir(registre, fichier));
        QVERIFY(registre.chercher("FAC-9"));
    }

    void baseInstalleeAvecDoublons()
    {
        // A register installed earlier, with its own table and a reference stored twice.
        const QString fichier = nouveauFichier();
        executer(fichier,
                 "create table facture (reference varchar(50), qrcode varchar(200), mecef_tc varchar(20), "
                 "mecef_sig varchar(50), mecef_nim varchar(20), mecef_compt varchar(20), "
                 "mecef_date varchar(20))");
        executer(fichier, "insert into facture values ('D1','q1','1','S1','N1','1/1 FV','20200101000000')");
        executer(fichier, "insert into facture values ('D1','q2','2','S2','N2','2/2 FV','20200102000000')");
        Registre registre("registre-test");
        QVERIFY(ouvrir(registre, fichier));
        const auto trouve = registre.chercher("D1");
        QVERIFY(trouve);
        QCOMPARE(trouve->qrcode, QStringLiteral("q1"));
        QVERIFY(registre.enregistrer("D2", resultat("2")));
    }

    void tableIllisibleCommeAbsente()
    {
        // A database whose facture is not a usable table: lookups answer "unknown" and the insertion
        // reports its failure instead of pretending to succeed.
        const QString fichier = nouveauFichier();
        executer(fichier, "create view facture as select 1 as reference");
        Registre registre("registre-test");
        // A shared register whose tables cannot be made ready is refused at once, with the reason.
        QCOMPARE(ouvrir(registre, fichier), !postgresql());
        QVERIFY(!registre.chercher("1"));
        QVERIFY(!registre.trouverOriginale("1"));
        QVERIFY(!registre.enregistrer("F", resultat("F")));
    }

    void textesVidesEnregistresVides()
    {
        // An empty text is stored as '' (never NULL), and rows stored either way are found again.
        const QString fichier = nouveauFichier();
        executer(fichier, "create table facture (reference text, qrcode text, mecef_tc text, mecef_sig text, "
                          "mecef_nim text, mecef_compt text, mecef_date text)");
        executer(fichier,
                 "insert into facture values (NULL, 'qN', NULL, 'S', 'N', '1/1 FV', '20200101000000')");
        Registre registre("registre-test");
        QVERIFY(ouvrir(registre, fichier));
        QVERIFY(
            registre.enregistrer("SANS-SIG", ResultatFiscal{"q", QString(), QString(), "N", "2/2 FV", "d"}));
        const auto trouve = registre.chercher("");
        QVERIFY(trouve);
        QCOMPARE(trouve->qrcode, QString("qN"));
        registre.fermer();
        QCOMPARE(valeur(fichier,
                        "select count(*) from facture where reference = 'SANS-SIG' and mecef_tc = '' "
                        "and mecef_sig = ''"),
                 QString("1"));
    }

    void reclamation_data()
    {
        // The journal row left before the claim: its state and whether the run holding it lives.
        QTest::addColumn<QString>("etat"); // empty: no row
        QTest::addColumn<bool>("vivante");
        QTest::addColumn<bool>("dansFacture");
        QTest::addColumn<int>("issue");
        QTest::addColumn<QString>("etatApres");

        using I = Reclamation::Issue;
        QTest::newRow("new reference") << "" << false << false << int(I::Nouvelle) << "reclamee";
        QTest::newRow("already recorded: reprint")
            << "terminee" << false << true << int(I::DejaValidee) << "terminee";
        QTest::newRow("held by a live run")
            << "ouverte" << true << false << int(I::TenueAilleurs) << "ouverte";
        QTest::newRow("live run that has only claimed it")
            << "reclamee" << true << false << int(I::TenueAilleurs) << "reclamee";
        QTest::newRow("dead run that sent nothing: claimed anew")
            << "reclamee" << false << false << int(I::Nouvelle) << "reclamee";
        QTest::newRow("dead run left it open: taken over as it stands")
            << "ouverte" << false << false << int(I::Nouvelle) << "ouverte";
        QTest::newRow("dead run left it paid") << "payee" << false << false << int(I::Nouvelle) << "payee";
        QTest::newRow("dead run sent the close: taken over, settled with the device")
            << "fermeture envoyee" << false << false << int(I::Nouvelle) << "fermeture envoyee";
        QTest::newRow("close sent again and refused: waits for the operator")
            << "issue inconnue" << false << false << int(I::IssueInconnue) << "issue inconnue";
        QTest::newRow("released by the operator while the device may hold it: taken over")
            << "abandonnee par l'operateur" << false << false << int(I::Nouvelle)
            << "abandonnee par l'operateur";
        QTest::newRow("state written by a later version: waits for the operator")
            << "verifiee ailleurs" << false << false << int(I::IssueInconnue) << "issue inconnue";
        QTest::newRow("journal done without its facture row: never certified again")
            << "terminee" << false << false << int(I::Echec) << "terminee";
        QTest::newRow("live run sent the close")
            << "fermeture envoyee" << true << false << int(I::TenueAilleurs) << "fermeture envoyee";
        QTest::newRow("dead run left it pending on the service")
            << "soumise" << false << false << int(I::Nouvelle) << "soumise";
        QTest::newRow("abandoned by the operator: certified again")
            << "abandonnee" << false << false << int(I::Nouvelle) << "reclamee";
    }

    void reclamation()
    {
        QFETCH(QString, etat);
        QFETCH(bool, vivante);
        QFETCH(bool, dansFacture);
        QFETCH(int, issue);
        QFETCH(QString, etatApres);
        const QString fichier = nouveauFichier();
        const TitulaireExecution ancienne{111, "a"};
        const TitulaireExecution moi{222, "b"};
        {
            Registre registre("registre-test");
            QVERIFY(ouvrir(registre, fichier));
            if (dansFacture)
                QVERIFY(registre.enregistrer("R1", resultat("1")));
        }
        if (!etat.isEmpty())
            executer(fichier,
                     QString("insert into certification (reference, etat, chemin, destination, "
                             "empreinte, uid, pid, identite) values ('R1', '%1', 'appareil', '/dev/x', "
                             "'E1', 'u', 111, 'a')")
                         .arg(QString(etat).replace("'", "''")));
        Registre registre("registre-test");
        QVERIFY(ouvrir(registre, fichier));
        const auto estVivante = [&](const TitulaireExecution &t) { return vivante && t.pid == ancienne.pid; };
        const Reclamation r = registre.reclamer("R1", "E2", "appareil", "/dev/x", moi, estVivante);
        QCOMPARE(int(r.issue), issue);
        const auto ligne = registre.ligneJournal("R1");
        QVERIFY(ligne);
        QCOMPARE(nomEtat(ligne->etat), etatApres);
        // Whoever may act on the reference now holds it; nobody else does.
        const bool prise = r.issue == Reclamation::Issue::Nouvelle;
        QCOMPARE(ligne->titulaire.pid, prise ? moi.pid : (etat.isEmpty() ? moi.pid : ancienne.pid));
        if (r.issue == Reclamation::Issue::DejaValidee) {
            QCOMPARE(r.resultat->qrcode, resultat("1").qrcode);
            QCOMPARE(r.empreinte, QString("E1"));
        }
        // A taken-over row keeps what the next step needs: its fingerprint and uid.
        if (prise && etat != "abandonnee" && !etat.isEmpty() && etat != "reclamee") {
            QCOMPARE(ligne->empreinte, QString("E1"));
            QCOMPARE(ligne->uid, QString("u"));
            QVERIFY(r.precedente);
        }
        // Only the holder can move the state on.
        QVERIFY(!registre.changerEtat("R1", ligne->etat, prise ? ancienne : moi));
    }

    void reprisesDesExecutionsDisparues()
    {
        const QString fichier = nouveauFichier();
        {
            Registre registre("registre-test");
            QVERIFY(ouvrir(registre, fichier));
        }
        const QStringList lignes = {
            "('OUV', 'ouverte', 'appareil', 'COM1', 'E', '', 1, 'x', '1')",
            "('PAY', 'payee', 'appareil', 'COM1', 'E', '', 2, 'x', '2')",
            "('FER', 'fermeture envoyee', 'appareil', 'COM1', 'E', '', 3, 'x', '3')",
            "('OPE', 'abandonnee par l''operateur', 'appareil', 'COM1', 'E', '', 3, 'x', '4')",
            "('INC', 'issue inconnue', 'appareil', 'COM1', 'E', '', 3, 'x', '5')",
            "('REC', 'reclamee', 'appareil', 'COM1', 'E', '', 4, 'x', '6')",
            "('VIV', 'ouverte', 'appareil', 'COM1', 'E', '', 5, 'x', '7')",
            "('AUT', 'ouverte', 'appareil', 'COM2', 'E', '', 6, 'x', '8')",
            "('MOI', 'ouverte', 'appareil', 'COM1', 'E', '', 7, 'x', '9')",
            "('FIN', 'terminee', 'appareil', 'COM1', 'E', '', 8, 'x', 'A')",
        };
        for (const QString &l : lignes)
            executer(fichier,
                     "insert into certification (reference, etat, chemin, destination, empreinte, uid, "
                     "pid, identite, cree) values " +
                         l);
        Registre registre("registre-test");
        QVERIFY(ouvrir(registre, fichier));
        const TitulaireExecution moi{99, "m"};
        const auto vivante = [](const TitulaireExecution &t) { return t.pid == 5; };
        QStringList prises;
        for (const LigneJournal &l : registre.reprendreEnSuspens("appareil", "COM1", "MOI", moi, vivante))
            prises << l.reference + "=" + nomEtat(l.etat);
        // What dead runs left on this device that it may still hold: opened, paid, close sent,
        // released by the operator while open. Not what waits for the operator, not a live run's, not
        // another device's, not this run's own reference.
        QCOMPARE(prises, (QStringList{"OUV=ouverte", "PAY=payee", "FER=fermeture envoyee",
                                      "OPE=abandonnee par l'operateur"}));
        for (const char *r : {"OUV", "PAY", "FER", "OPE"})
            QCOMPARE(registre.ligneJournal(r)->titulaire.pid, 99);
        QCOMPARE(nomEtat(registre.ligneJournal("REC")->etat), QString("abandonnee"));
        QCOMPARE(registre.ligneJournal("INC")->titulaire.pid, 3);
        QCOMPARE(registre.ligneJournal("VIV")->titulaire.pid, 5);
        QCOMPARE(registre.ligneJournal("AUT")->titulaire.pid, 6);
        // The operator is told of what waits for them, at every run.
        QStringList attente;
        for (const LigneJournal &l : registre.attenteOperateur("appareil", "COM1", "MOI", moi, vivante))
            attente << l.reference;
        QCOMPARE(attente, QStringList{"INC"});
    }

    void attenteOperateurApresUneReprise()
    {
        // The operator hears of a row that waits for them whether the run took rows over just before
        // or not, and of one written by another run since the run's last look.
        const QString fichier = nouveauFichier();
        {
            Registre registre("registre-test");
            QVERIFY(ouvrir(registre, fichier));
        }
        const QString insertion =
            "insert into certification (reference, etat, chemin, destination, empreinte, "
            "uid, pid, identite, cree) values ";
        executer(fichier, insertion + "('INC', 'issue inconnue', 'appareil', 'COM1', 'E', '', 3, 'x', '1')");
        Registre registre("registre-test");
        QVERIFY(ouvrir(registre, fichier));
        const TitulaireExecution moi{99, "m"};
        const auto morte = [](const TitulaireExecution &) { return false; };
        const auto references = [](const QList<LigneJournal> &lignes) {
            QStringList r;
            for (const LigneJournal &l : lignes)
                r << l.reference;
            return r;
        };
        QVERIFY(registre.reprendreEnSuspens("appareil", "COM1", "MOI", moi, morte).isEmpty());
        QCOMPARE(references(registre.attenteOperateur("appareil", "COM1", "MOI", moi, morte)),
                 QStringList{"INC"});
        // Another device's look says nothing of this one.
        QVERIFY(registre.reprendreEnSuspens("appareil", "COM2", "MOI", moi, morte).isEmpty());
        QCOMPARE(references(registre.attenteOperateur("appareil", "COM1", "MOI", moi, morte)),
                 QStringList{"INC"});
        QVERIFY(registre.reprendreEnSuspens("appareil", "COM1", "MOI", moi, morte).isEmpty());
        executer(fichier, insertion + "('INC2', 'issue inconnue', 'appareil', 'COM1', 'E', '', 4, 'x', '2')");
        QVERIFY(!registre.chercher("MOI"));
        QCOMPARE(references(registre.attenteOperateur("appareil", "COM1", "MOI", moi, morte)),
                 (QStringList{"INC", "INC2"}));
    }

    void abandonParOperateur_data()
    {
        QTest::addColumn<QString>("etat");
        QTest::addColumn<QString>("chemin");
        QTest::addColumn<bool>("vivante");
        QTest::addColumn<int>("issue");
        QTest::addColumn<QString>("etatApres");
        using I = AbandonOperateur::Issue;
        const QString op = "abandonnee par l'operateur";
        QTest::newRow("outcome lost: released") << "issue inconnue"
                                                << "appareil" << false << int(I::Abandonnee) << "abandonnee";
        QTest::newRow("close sent: the device may still hold it")
            << "fermeture envoyee"
            << "appareil" << false << int(I::Abandonnee) << op;
        QTest::newRow("paid on the device") << "payee"
                                            << "appareil" << false << int(I::Abandonnee) << op;
        QTest::newRow("opened on the device") << "ouverte"
                                              << "appareil" << false << int(I::Abandonnee) << op;
        QTest::newRow("confirmation sent to the service")
            << "confirmation envoyee"
            << "emcf" << false << int(I::Abandonnee) << "abandonnee";
        QTest::newRow("claimed only") << "reclamee"
                                      << "appareil" << false << int(I::Abandonnee) << "abandonnee";
        QTest::newRow("held by a live run: untouched")
            << "fermeture envoyee"
            << "appareil" << true << int(I::TenueAilleurs) << "fermeture envoyee";
        QTest::newRow("already released by the operator")
            << op << "appareil" << false << int(I::Aucune) << op;
        QTest::newRow("finished") << "terminee"
                                  << "appareil" << false << int(I::Aucune) << "terminee";
        QTest::newRow("no row") << ""
                                << "appareil" << false << int(I::Aucune) << "";
    }

    void abandonParOperateur()
    {
        QFETCH(QString, etat);
        QFETCH(QString, chemin);
        QFETCH(bool, vivante);
        QFETCH(int, issue);
        QFETCH(QString, etatApres);
        const QString fichier = nouveauFichier();
        {
            Registre registre("registre-test");
            QVERIFY(ouvrir(registre, fichier));
        }
        if (!etat.isEmpty())
            executer(fichier, QString("insert into certification (reference, etat, chemin, destination, pid, "
                                      "identite) values ('R', '%1', '%2', 'COM1', 4, 'x')")
                                  .arg(QString(etat).replace("'", "''"), chemin));
        Registre registre("registre-test");
        QVERIFY(ouvrir(registre, fichier));
        const AbandonOperateur a =
            registre.abandonner("R", [&](const TitulaireExecution &) { return vivante; });
        QCOMPARE(int(a.issue), issue);
        const auto ligne = registre.ligneJournal("R");
        QCOMPARE(ligne ? nomEtat(ligne->etat) : QString(), etatApres);
        if (a.issue == AbandonOperateur::Issue::Abandonnee)
            QCOMPARE(nomEtat(a.precedent), etat);
    }

    void changementsDEtat_data()
    {
        // Every pair of states, and whether the journal lets a run move a row it holds from the one
        // to the other. A change that is refused leaves the row as it was.
        static const QSet<QString> permis = {
            "reclamee>ouverte",
            "reclamee>soumission envoyee",
            "reclamee>abandonnee",
            "ouverte>payee",
            "ouverte>terminee",
            "ouverte>abandonnee",
            "ouverte>abandonnee par l'operateur",
            "payee>fermeture envoyee",
            "payee>terminee",
            "payee>abandonnee",
            "payee>issue inconnue",
            "payee>abandonnee par l'operateur",
            "fermeture envoyee>terminee",
            "fermeture envoyee>abandonnee",
            "fermeture envoyee>issue inconnue",
            "fermeture envoyee>abandonnee par l'operateur",
            "issue inconnue>abandonnee",
            "soumission envoyee>soumise",
            "soumission envoyee>confirmation envoyee",
            "soumission envoyee>abandonnee",
            "soumise>confirmation envoyee",
            "soumise>abandonnee",
            "confirmation envoyee>terminee",
            "confirmation envoyee>abandonnee",
            "abandonnee>reclamee",
            "abandonnee par l'operateur>fermeture envoyee",
            "abandonnee par l'operateur>terminee",
            "abandonnee par l'operateur>abandonnee",
        };
        QTest::addColumn<int>("de");
        QTest::addColumn<int>("vers");
        QTest::addColumn<bool>("permis");
        for (const EtatCertification de : tousLesEtats) {
            for (const EtatCertification vers : tousLesEtats) {
                const QString nom = nomEtat(de) + ">" + nomEtat(vers);
                const bool attendu = permis.contains(nom) || (de == vers && !etatTermine(de));
                QTest::newRow(qPrintable(nom)) << int(de) << int(vers) << attendu;
            }
        }
    }

    void changementsDEtat()
    {
        QFETCH(int, de);
        QFETCH(int, vers);
        QFETCH(bool, permis);
        QCOMPARE(changementPermis(EtatCertification(de), EtatCertification(vers)), permis);

        const QString fichier = nouveauFichier();
        {
            Registre registre("registre-test");
            QVERIFY(ouvrir(registre, fichier));
        }
        const TitulaireExecution moi{7, "m"};
        executer(fichier, QString("insert into certification (reference, etat, chemin, destination, pid, "
                                  "identite) values ('R', '%1', 'appareil', 'COM1', 7, 'm')")
                              .arg(nomEtat(EtatCertification(de)).replace("'", "''")));
        Registre registre("registre-test");
        QVERIFY(ouvrir(registre, fichier));
        QCOMPARE(registre.changerEtat("R", EtatCertification(vers), moi), permis);
        const EtatCertification apres = registre.ligneJournal("R")->etat;
        QCOMPARE(nomEtat(apres), nomEtat(EtatCertification(permis ? vers : de)));
        if (!permis && de != vers)
            QVERIFY2(registre.erreur().contains("changement d'etat refuse"), qPrintable(registre.erreur()));
        // Recording a certified invoice is a change to "terminee" like any other.
        if (vers == int(EtatCertification::Terminee) && !permis && de != vers) {
            QVERIFY(!registre.enregistrer("R", resultat("R")));
            QVERIFY(!registre.chercher("R"));
        }
    }

    void tempsDOuvertureEtDePaiement()
    {
        // The journal keeps when a row was opened and paid on the device: a run settling several
        // rows tells from them which one the device can still hold.
        const QString fichier = nouveauFichier();
        const TitulaireExecution moi{1, "m"};
        Registre registre("registre-test");
        QVERIFY(ouvrir(registre, fichier));
        QCOMPARE(
            int(registre.reclamer("T", "E", "appareil", "COM1", moi, [](auto &) { return false; }).issue),
            int(Reclamation::Issue::Nouvelle));
        QVERIFY(registre.ligneJournal("T")->ouverture.isEmpty());
        QVERIFY(registre.changerEtat("T", EtatCertification::Ouverte, moi));
        const QString ouverture = registre.ligneJournal("T")->ouverture;
        QVERIFY(!ouverture.isEmpty());
        QVERIFY(registre.ligneJournal("T")->paiement.isEmpty());
        QVERIFY(registre.changerEtat("T", EtatCertification::Payee, moi));
        QVERIFY(registre.changerEtat("T", EtatCertification::FermetureEnvoyee, moi));
        const LigneJournal l = *registre.ligneJournal("T");
        QCOMPARE(l.ouverture, ouverture);
        QVERIFY(l.paiement >= ouverture);
        // A run that takes the row over keeps both, and the time its state last changed.
        QCOMPARE(registre.reprendreEnSuspens("appareil", "COM1", "", {2, "n"}, [](auto &) { return false; })
                     .size(),
                 1);
        const LigneJournal reprise = *registre.ligneJournal("T");
        QCOMPARE(reprise.titulaire.pid, 2);
        QCOMPARE(reprise.modifie, l.modifie);
        QCOMPARE(reprise.paiement, l.paiement);
    }

    void registreDUneVersionPrecedente_data()
    {
        QTest::addColumn<QString>("colonnesEnPlus");
        QTest::addColumn<int>("version");
        QTest::newRow("first version") << QString() << 0;
        QTest::newRow("with opening and payment times") << QString(", ouverture text, paiement text") << 2;
    }

    void registreDUneVersionPrecedente()
    {
        // A register written by an earlier version: its rows are kept, the missing columns added, and
        // it is claimed and settled as any other.
        QFETCH(QString, colonnesEnPlus);
        QFETCH(int, version);
        const QString fichier = nouveauFichier();
        executer(fichier,
                 "create table certification (reference text primary key, etat text not null, chemin "
                 "text, destination text, empreinte text, uid text, pid integer, identite text, cree "
                 "text, modifie text" +
                     colonnesEnPlus + ")");
        fixerVersion(fichier, version);
        executer(fichier, "insert into certification (reference, etat, chemin, destination, pid, identite) "
                          "values ('V', 'fermeture envoyee', 'appareil', 'COM1', 3, 'x')");
        {
            // The operator's tools read it as it stands and add nothing.
            Registre outil("registre-test");
            QVERIFY(ouvrirExistant(outil, fichier));
            const auto lignes = outil.lignesEnSuspens();
            QVERIFY(lignes);
            QCOMPARE(lignes->size(), 1);
            QVERIFY(!outil.chercher("V"));
            QVERIFY(outil.ligneJournal("V")->empreinteSoumission.isEmpty());
        }
        Registre registre("registre-test");
        QVERIFY(ouvrir(registre, fichier));
        const TitulaireExecution moi{9, "n"};
        const QList<LigneJournal> prises =
            registre.reprendreEnSuspens("appareil", "COM1", "", moi, [](auto &) { return false; });
        QCOMPARE(prises.size(), 1);
        QVERIFY(prises.first().paiement.isEmpty());
        QVERIFY(registre.enregistrer("V", resultat("V")));
        QCOMPARE(nomEtat(registre.ligneJournal("V")->etat), QString("terminee"));

        // What an e-MCF submission carries is kept from now on, and read back by a later run.
        QCOMPARE(registre.reclamer("W", "E", "emcf", "https://x", moi, [](auto &) { return false; }).issue,
                 Reclamation::Issue::Nouvelle);
        QVERIFY(registre.changerEtat("W", EtatCertification::SoumissionEnvoyee, moi, QString(), "abc123"));
        Registre suivant("registre-suivant");
        QVERIFY(ouvrir(suivant, fichier));
        QCOMPARE(suivant.ligneJournal("W")->empreinteSoumission, QString("abc123"));
        QCOMPARE(nomEtat(suivant.ligneJournal("W")->etat), QString("soumission envoyee"));
    }

    // Amounts of an invoice certified at `instant` ("yyyyMMddHHmmss"), two tax groups and a
    // withholding; values that no rounding would keep.
    static MontantsFacture montants(const QString &reference, const QString &instant, const QString &caisse)
    {
        MontantsFacture m = montantsInconnus(reference, resultat(reference));
        m.certification = instantCertification(instant);
        m.type = "FA";
        m.dateFacture = "09/01/2020";
        m.caisse = caisse;
        m.appareil = "COM1";
        m.pays = "Niger";
        m.signe = -1;
        m.avecMontants = true;
        m.groupes = {{"A", 1000.0 / 3, 0, 0}, {"B", 847.4576271186, 152.5423728814, 12.5}};
        m.codeRetenue = "AIB1";
        m.tauxRetenue = 1;
        m.retenue = 10.123456789;
        m.total = 1180.0000001;
        m.netAPayer = 1190.123456789;
        return m;
    }

    static QStringList textes(const MontantsFacture &m)
    {
        QStringList t = {m.reference, m.type, m.dateFacture, m.certification, m.caisse, m.appareil, m.nim,
                         m.compteurs, m.codeFiscal, m.pays, QString::number(m.signe),
                         m.avecMontants ? "avec" : "sans", m.codeRetenue};
        for (const MontantsGroupe &g : m.groupes)
            t << g.groupe << QString::number(g.base, 'g', 17) << QString::number(g.tva, 'g', 17)
              << QString::number(g.taxeSpecifique, 'g', 17);
        for (const double v : {m.tauxRetenue, m.retenue, m.total, m.netAPayer})
            t << QString::number(v, 'g', 17);
        return t;
    }

    void montantsAvecLaFacture_data()
    {
        QTest::addColumn<bool>("reclamee");
        QTest::newRow("invoice held by the run") << true;
        QTest::newRow("invoice recorded without a claim") << false;
    }

    void montantsAvecLaFacture()
    {
        // The amounts are written with the invoice's row and read back exactly, by period.
        QFETCH(bool, reclamee);
        const QString fichier = nouveauFichier();
        const TitulaireExecution moi{1, "m"};
        Registre registre("registre-test");
        QVERIFY(ouvrir(registre, fichier));
        if (reclamee) {
            QCOMPARE(int(registre.reclamer("M'1", "E", "appareil", "COM1", moi, [](auto &) { return false; })
                             .issue),
                     int(Reclamation::Issue::Nouvelle));
            for (const EtatCertification e :
                 {EtatCertification::Ouverte, EtatCertification::Payee, EtatCertification::FermetureEnvoyee})
                QVERIFY(registre.changerEtat("M'1", e, moi));
        }
        const MontantsFacture m = montants("M'1", "20261201000000", "Caisse 1");
        QVERIFY(registre.enregistrer("M'1", resultat("M'1"), m));
        QVERIFY(registre.enregistrer("M2", resultat("M2"), montants("M2", "20261231235959", "Caisse 2")));
        QVERIFY(registre.enregistrer("M3", resultat("M3"), montants("M3", "20270101000000", "Caisse 1")));
        QVERIFY(registre.enregistrer("M0", resultat("M0"), montants("M0", "20261130235959", "Caisse 1")));

        Registre lecteur("registre-lecteur");
        QVERIFY(ouvrirExistant(lecteur, fichier));
        const auto decembre = lecteur.facturesCertifiees({QDate(2026, 12, 1), QDate(2026, 12, 31), {}});
        QVERIFY2(decembre, qPrintable(lecteur.erreur()));
        QCOMPARE(decembre->size(), 2);
        QCOMPARE(textes(decembre->at(0)), textes(m));
        QCOMPARE(decembre->at(1).reference, QString("M2"));
        QCOMPARE(decembre->at(1).caisse, QString("Caisse 2"));
        // A search by reference, whatever its case, within the period; "%" and "_" are plain letters.
        for (const auto &[recherche, attendues] :
             {std::pair<QString, int>{"m'", 1}, {"M", 2}, {"2", 1}, {"%", 0}, {"_", 0}, {"M3", 0}}) {
            const auto trouvees = lecteur.facturesCertifiees({QDate(2026, 12, 1), QDate(2026, 12, 31), recherche});
            QVERIFY(trouvees);
            QCOMPARE(trouvees->size(), attendues);
        }
        const auto unJour = lecteur.facturesCertifiees({QDate(2027, 1, 1), QDate(2027, 1, 1), {}});
        QCOMPARE(unJour->size(), 1);
        QCOMPARE(unJour->first().reference, QString("M3"));
    }

    void montantsRefusesSansLaFacture()
    {
        // The amounts' row fails: the invoice's row is not kept either, and the journal keeps its
        // state, as for any failed recording.
        const QString fichier = nouveauFichier();
        const TitulaireExecution moi{1, "m"};
        Registre registre("registre-test");
        QVERIFY(ouvrir(registre, fichier));
        refuserInsertions(fichier, "montants refuses", "montants_facture");
        for (const bool reclamee : {true, false}) {
            const QString reference = reclamee ? "R1" : "R2";
            if (reclamee) {
                QCOMPARE(int(registre.reclamer(reference, "E", "appareil", "COM1", moi, [](auto &) { return false; })
                                 .issue),
                         int(Reclamation::Issue::Nouvelle));
                QVERIFY(registre.changerEtat(reference, EtatCertification::Ouverte, moi));
            }
            QVERIFY(!registre.enregistrer(reference, resultat(reference), montants(reference, "20261201000000", "C")));
            QVERIFY(registre.erreur().contains("montants refuses"));
            QVERIFY(!registre.chercher(reference));
            if (reclamee)
                QCOMPARE(nomEtat(registre.ligneJournal(reference)->etat), QString("ouverte"));
        }
        QCOMPARE(valeur(fichier, "select count(*) from facture"), QString("0"));
    }

    void facturesAnterieuresSansMontants()
    {
        // A register of the previous version, with invoices from the device and from the e-MCF
        // service: read as it stands they are listed without amounts; brought up to date, they keep
        // their certification time and new invoices come with theirs.
        const QString fichier = nouveauFichier();
        executer(fichier, "create table facture (reference text, qrcode text, mecef_tc text, mecef_sig text, "
                          "mecef_nim text, mecef_compt text, mecef_date text)");
        executer(fichier, "create table certification (reference text primary key, etat text not null, chemin "
                          "text, destination text, empreinte text, uid text, pid integer, identite text, cree "
                          "text, modifie text, ouverture text, paiement text, soumission text)");
        fixerVersion(fichier, 3);
        executer(fichier, "insert into facture values ('ANC-1', 'F;1', '1', 'SIG1', 'NIM1', '1/1 FV', "
                          "'20261205101112'), ('ANC-2', 'F;2', '2', 'SIG2', 'NIM2', '2/2 FV', "
                          "'06/12/2026 08:09:10'), ('ANC-3', 'F;3', '3', 'SIG3', 'NIM3', '3/3 FV', "
                          "'20261107000000'), ('ANC-1', 'F;9', '9', 'SIG9', 'NIM9', '9/9 FV', '20261205000000')");
        const PeriodeCertification decembre{QDate(2026, 12, 1), QDate(2026, 12, 31), {}};
        const auto lire = [&](Registre &r) {
            QStringList lignes;
            const auto liste = r.facturesCertifiees(decembre);
            if (!liste)
                return QStringList{"illisible: " + r.erreur()};
            for (const MontantsFacture &m : *liste)
                lignes << QStringList{m.reference, m.certification, m.nim, m.compteurs, m.codeFiscal,
                                      m.avecMontants ? "avec" : "sans"}
                              .join('|');
            return lignes;
        };
        const QStringList anciennes = {"ANC-1|2026-12-05 10:11:12|NIM1|1/1 FV|SIG1|sans",
                                       "ANC-2|2026-12-06 08:09:10|NIM2|2/2 FV|SIG2|sans"};
        {
            Registre outil("registre-test");
            QVERIFY(ouvrirExistant(outil, fichier));
            QCOMPARE(lire(outil), anciennes);
        }
        QCOMPARE(valeur(fichier, "select count(*) from montants_facture"), QString("-"));
        Registre registre("registre-test");
        QVERIFY(ouvrir(registre, fichier));
        QVERIFY(registre.enregistrer("NEUF", resultat("NEUF"), montants("NEUF", "20261207000000", "C")));
        QCOMPARE(lire(registre), anciennes + QStringList{"NEUF|2026-12-07 00:00:00|EM01|82/87NEUF FV|SIGNEUF|avec"});
    }

    void outilsNeCreentRien()
    {
        // The operator's tools never create a register where there is none.
        const QString fichier = postgresql() ? nouveauFichier() : m_dossier.filePath("aucun.s3db");
        Registre registre("registre-test");
        QVERIFY(!ouvrirExistant(registre, fichier));
        QVERIFY(!registre.erreur().isEmpty());
        QVERIFY(!existe(fichier));
    }

    void enregistrementEtJournalEnUneTransaction()
    {
        // The row of facture and the journal's "done" go together: when the insert fails, the
        // journal keeps its state.
        const QString fichier = nouveauFichier();
        const TitulaireExecution moi{1, "m"};
        {
            Registre registre("registre-test");
            QVERIFY(ouvrir(registre, fichier));
            QCOMPARE(int(registre.reclamer("T1", "E", "appareil", "COM1", moi, [](auto &) { return false; })
                             .issue),
                     int(Reclamation::Issue::Nouvelle));
            for (const EtatCertification e :
                 {EtatCertification::Ouverte, EtatCertification::Payee, EtatCertification::FermetureEnvoyee})
                QVERIFY(registre.changerEtat("T1", e, moi));
        }
        refuserInsertions(fichier, "disque plein");
        {
            Registre registre("registre-test");
            QVERIFY(ouvrir(registre, fichier));
            QVERIFY(!registre.enregistrer("T1", resultat("1")));
            QVERIFY(registre.erreur().contains("disque plein"));
            QCOMPARE(nomEtat(registre.ligneJournal("T1")->etat), QString("fermeture envoyee"));
        }
        accepterInsertions(fichier);
        Registre registre("registre-test");
        QVERIFY(ouvrir(registre, fichier));
        QVERIFY(registre.enregistrer("T1", resultat("1")));
        QCOMPARE(nomEtat(registre.ligneJournal("T1")->etat), QString("terminee"));
    }

    void ligneChangeeDerriereLExecution_data()
    {
        QTest::addColumn<QString>("changement"); // SQL run by another writer, or nothing
        QTest::addColumn<bool>("changee");       // the close may still be announced
        QTest::addColumn<QString>("etatApres");
        QTest::addColumn<QString>("raison");     // part of the reason when refused
        QTest::addColumn<int>("enregistrement"); // recording afterwards: 1 done, 0 refused, -1 not tried
        QTest::newRow("untouched") << QString() << true << "fermeture envoyee" << QString() << 1;
        QTest::newRow("taken over by another run")
            << "update certification set pid = pid + 1000, identite = 'autre' where reference = 'R'" << false
            << "payee"
            << "n'est pas tenue" << -1;
        QTest::newRow("released behind its back")
            << "update certification set etat = 'abandonnee' where reference = 'R'" << false << "abandonnee"
            << "changement d'etat refuse" << 0;
        QTest::newRow("another column written: the change applies to the row as it stands")
            << "update certification set uid = 'U-9' where reference = 'R'" << true << "fermeture envoyee"
            << QString() << 1;
        QTest::newRow("removed") << "delete from certification where reference = 'R'" << false << QString()
                                 << "aucune certification" << -1;
    }

    void ligneChangeeDerriereLExecution()
    {
        // A run moves its own row on in one write that applies only while the row is as the run
        // wrote it; a row changed behind its back is read again and judged by the table of changes,
        // as it stands. A step whose state is refused is not announced, and an invoice whose row may
        // not end is not recorded.
        QFETCH(QString, changement);
        QFETCH(bool, changee);
        QFETCH(QString, etatApres);
        QFETCH(QString, raison);
        QFETCH(int, enregistrement);
        const QString fichier = nouveauFichier();
        Registre registre("registre-test");
        QVERIFY(ouvrir(registre, fichier));
        const TitulaireExecution moi = registre.titulaire();
        tenirJusqua(registre, "payee");
        if (QTest::currentTestFailed())
            return;
        if (!changement.isEmpty())
            executer(fichier, changement);

        QCOMPARE(registre.changerEtat("R", EtatCertification::FermetureEnvoyee, moi), changee);
        if (!changee)
            QVERIFY2(registre.erreur().contains(raison), qPrintable(registre.erreur()));
        const std::optional<LigneJournal> ligne = registre.ligneJournal("R");
        QCOMPARE(ligne ? nomEtat(ligne->etat) : QString(), etatApres);
        if (changement.contains("U-9"))
            QCOMPARE(ligne->uid, QString("U-9"));
        if (enregistrement < 0)
            return;
        QCOMPARE(registre.enregistrer("R", resultat("R")), enregistrement == 1);
        QCOMPARE(bool(registre.chercher("R")), enregistrement == 1);
        QCOMPARE(nomEtat(registre.ligneJournal("R")->etat),
                 enregistrement == 1 ? QString("terminee") : etatApres);
    }

    void insertionsRefuseesAuMomentDeReclamer()
    {
        // A claim is refused with the reason the table gives when its invoice row could not be added;
        // a reprint, which adds nothing, still answers.
        const QString fichier = nouveauFichier();
        {
            Registre registre("registre-test");
            QVERIFY(ouvrir(registre, fichier));
            QVERIFY(registre.enregistrer("CONNUE", resultat("C")));
        }
        refuserInsertions(fichier, "disque plein");
        Registre registre("registre-test");
        QVERIFY(ouvrir(registre, fichier));
        const Reclamation r =
            registre.reclamer("NOUVELLE", "E", "appareil", "COM1", registre.titulaire(), registre.vivacite());
        QCOMPARE(int(r.issue), int(Reclamation::Issue::Echec));
        QVERIFY2(r.erreur.contains("disque plein"), qPrintable(r.erreur));
        QVERIFY(!registre.ligneJournal("NOUVELLE"));
        const Reclamation connue =
            registre.reclamer("CONNUE", "E", "appareil", "COM1", registre.titulaire(), registre.vivacite());
        QCOMPARE(int(connue.issue), int(Reclamation::Issue::DejaValidee));
        QCOMPARE(connue.resultat->qrcode, resultat("C").qrcode);
        // Once the table takes rows again, the same register claims it.
        accepterInsertions(fichier);
        QCOMPARE(
            int(registre
                    .reclamer("NOUVELLE", "E", "appareil", "COM1", registre.titulaire(), registre.vivacite())
                    .issue),
            int(Reclamation::Issue::Nouvelle));
    }

    void registreInutilisable_data()
    {
        QTest::addColumn<QByteArray>("contenu"); // file content, or SQL to run on a fresh register
        QTest::addColumn<bool>("sql");
        if (!postgresql())
            QTest::newRow("garbage file") << QByteArray(4096, 'x') << false;
        QTest::newRow("facture with other columns")
            << QByteArray("create table facture (id integer, montant real)") << true;
    }

    void registreInutilisable()
    {
        // The claim is the gate: a register that cannot be read or written refuses it with the
        // database's reason, so that nothing is sent to a device or a service.
        QFETCH(QByteArray, contenu);
        QFETCH(bool, sql);
        const QString fichier = nouveauFichier();
        if (sql) {
            executer(fichier, QString::fromUtf8(contenu));
        } else {
            QFile f(fichier);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(contenu);
        }
        Registre registre("registre-test");
        ouvrir(registre, fichier);
        const Reclamation r = registre.reclamer("R", "E", "appareil", "COM1", {1, "m"},
                                                [](const TitulaireExecution &) { return false; });
        QCOMPARE(int(r.issue), int(Reclamation::Issue::Echec));
        QVERIFY2(!r.erreur.isEmpty(), "the reason must be given");
    }

    void registreDuGroupe_data()
    {
        QTest::addColumn<bool>("dossierDuGroupe");
        QTest::newRow("folder the group may write: register the group's too") << true;
        QTest::newRow("folder of its owner only: register too") << false;
    }

    void registreDuGroupe()
    {
        // A new register is writable by the group exactly when its folder is (the package makes the
        // installation folder the shop's group's).
        if (postgresql())
            QSKIP("the shared register has no file");
#ifndef Q_OS_UNIX
        QSKIP("a group's write right on a file is a Unix mode");
#endif
        QFETCH(bool, dossierDuGroupe);
        const QString dossier = m_dossier.filePath(QString("groupe-%1").arg(++m_compteur));
        QVERIFY(QDir().mkpath(dossier));
        QFile::Permissions droits =
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup;
        if (dossierDuGroupe)
            droits |= QFile::WriteGroup;
        QVERIFY(QFile::setPermissions(dossier, droits));
        const QString fichier = dossier + "/mcf.s3db";
        {
            Registre registre("registre-test");
            QVERIFY(registre.ouvrir(fichier));
            QVERIFY(registre.enregistrer("G", resultat("G")));
        }
        QCOMPARE(bool(QFile::permissions(fichier) & QFile::WriteGroup), dossierDuGroupe);
        QVERIFY(QFile::permissions(fichier) & QFile::WriteOwner);
    }

    void titulaireQuiFinitPendantQuOnLeJuge_data()
    {
        QTest::addColumn<QString>("operation");  // what B does: claim, take over, or release
        QTest::addColumn<QString>("etatA");      // where the holder stands when its row is read
        QTest::addColumn<QString>("etape");      // its last step, between that read and the judgement
        QTest::addColumn<QString>("prises");     // what B takes over, or the issue of its claim or release
        QTest::addColumn<QString>("etatFinal");  // the row at the end
        QTest::addColumn<QString>("titulaire");  // who holds it then: A or B
        QTest::newRow("claim: certified and recorded, then gone: a reprint")
            << "reclamer" << "fermeture envoyee" << "terminee" << "deja validee" << "terminee" << "A";
        QTest::newRow("claim: close sent, then gone: taken over with the close")
            << "reclamer" << "payee" << "fermeture envoyee" << "fermeture envoyee" << "fermeture envoyee"
            << "B";
        // B takes over X, left by a dead run, and reads R again in that write: A was alive when B first
        // looked, and ends as B judges it the second time.
        QTest::newRow("takeover: certified and recorded, then gone: left alone")
            << "reprendre" << "fermeture envoyee" << "terminee" << "X=ouverte" << "terminee" << "A";
        QTest::newRow("takeover: close sent, then gone: taken over with the close")
            << "reprendre" << "payee" << "fermeture envoyee" << "R=fermeture envoyee,X=ouverte"
            << "fermeture envoyee" << "B";
        // The operator releases R while A ends.
        QTest::newRow("release: certified and recorded, then gone: nothing to release")
            << "abandonner" << "fermeture envoyee" << "terminee" << "aucune" << "terminee" << "A";
        QTest::newRow("release: close sent, then gone: released as it was left")
            << "abandonner" << "payee" << "fermeture envoyee" << "fermeture envoyee -> abandonnee par l'operateur"
            << "abandonnee par l'operateur" << "A";
    }

    void titulaireQuiFinitPendantQuOnLeJuge()
    {
        // Run A holds R on device COM1. Run B reads A's row, and before B judges whether A still runs,
        // A takes its last step and ends. B must act on what A left, not on the row it read before.
        if (!postgresql())
            QSKIP("both runs are in this process: the local register tells runs apart by their process");
        QFETCH(QString, operation);
        QFETCH(QString, etatA);
        QFETCH(QString, etape);
        QFETCH(QString, prises);
        QFETCH(QString, etatFinal);
        QFETCH(QString, titulaire);
        const QString fichier = nouveauFichier();
        Registre a("registre-a");
        QVERIFY(ouvrir(a, fichier));
        const TitulaireExecution ta = a.titulaire();
        tenirJusqua(a, etatA);
        if (QTest::currentTestFailed())
            return;

        Registre b("registre-b");
        QVERIFY(ouvrir(b, fichier));
        const TitulaireExecution tb = b.titulaire();
        if (operation == "reprendre")
            executer(fichier, "insert into certification (reference, etat, chemin, destination, empreinte, "
                              "uid, pid, identite) values ('X', 'ouverte', 'appareil', 'COM1', 'E', '', 3, 'x')");
        // A ends as B judges it for the first time when claiming or releasing, for the second when
        // taking over.
        const int appelFinal = operation == "reprendre" ? 2 : 1;
        int appels = 0;
        bool finie = false;
        bool etapeEcrite = false;
        const Registre::EstVivante vraie = b.vivacite();
        const auto estVivante = [&](const TitulaireExecution &t) {
            if (t == ta && ++appels == appelFinal) {
                finie = true;
                etapeEcrite = etape == "terminee" ? a.enregistrer("R", resultat("R"))
                                                  : a.changerEtat("R", *etatDepuisNom(etape), ta);
                a.fermer();
                // The server ends A's session, and frees its lock, a moment after A hangs up.
                QElapsedTimer attente;
                attente.start();
                while (vraie(ta) && attente.elapsed() < 5000)
                    QThread::msleep(10);
            }
            return vraie(t);
        };
        QString pris;
        if (operation == "reclamer") {
            const Reclamation r = b.reclamer("R", "E", "appareil", "COM1", tb, estVivante);
            pris = r.issue == Reclamation::Issue::DejaValidee ? QString("deja validee")
                   : r.issue == Reclamation::Issue::Nouvelle && r.precedente ? nomEtat(r.precedente->etat)
                                                                              : QString("issue %1").arg(int(r.issue));
        } else if (operation == "abandonner") {
            const AbandonOperateur r = b.abandonner("R", estVivante);
            pris = r.issue == AbandonOperateur::Issue::Aucune ? QString("aucune")
                   : r.issue == AbandonOperateur::Issue::Abandonnee
                       ? nomEtat(r.precedent) + " -> " + nomEtat(r.etat)
                       : QString("issue %1: %2").arg(int(r.issue)).arg(r.erreur);
        } else {
            QStringList l;
            for (const LigneJournal &ligne : b.reprendreEnSuspens("appareil", "COM1", "AUTRE", tb, estVivante))
                l << ligne.reference + "=" + nomEtat(ligne.etat);
            l.sort();
            pris = l.join(',');
        }
        QVERIFY(finie);
        QVERIFY(etapeEcrite);
        QCOMPARE(pris, prises);
        const std::optional<LigneJournal> ligne = b.ligneJournal("R");
        QVERIFY(ligne);
        QCOMPARE(nomEtat(ligne->etat), etatFinal);
        QVERIFY(ligne->titulaire == (titulaire == "A" ? ta : tb));
        QCOMPARE(valeur(fichier, "select count(*) from facture where reference = 'R'"),
                 QString(etape == "terminee" ? "1" : "0"));
    }

    void textesRelusTelsQuels_data()
    {
        QTest::addColumn<QString>("reglages");
        QTest::addColumn<QString>("texte");
        const QString melange = QString::fromUtf8("O'Brien \\ \"Ç\" \\' -- ; $1 ? é€ 😀");
        QTest::newRow("quotes, backslashes and non-ASCII, standard strings")
            << " -c standard_conforming_strings=on" << melange;
        QTest::newRow("quotes, backslashes and non-ASCII, backslash escapes in strings")
            << " -c standard_conforming_strings=off" << melange;
        QTest::newRow("a backslash before the closing quote, backslash escapes in strings")
            << " -c standard_conforming_strings=off -c backslash_quote=on" << QString("fin\\");
    }

    void textesRelusTelsQuels()
    {
        // A reference, a device name and fiscal texts holding what a quoting of values into the SQL
        // would have to get right for the server's settings: every value is bound, so each is stored
        // and read back as it was given, whatever the settings.
        QFETCH(QString, reglages);
        QFETCH(QString, texte);
        const QString fichier = nouveauFichier();
        Registre registre("registre-test");
        QVERIFY2(registre.ouvrir(emplacement(fichier, reglages)), qPrintable(registre.erreur()));
        if (postgresql())
            QCOMPARE(reglageDeSession(fichier, reglages, "standard_conforming_strings"),
                     QString(reglages.contains("=off") ? "off" : "on"));
        const QString reference = "R " + texte;
        const TitulaireExecution moi = registre.titulaire();
        QCOMPARE(int(registre.reclamer(reference, texte, "appareil", texte, moi, registre.vivacite()).issue),
                 int(Reclamation::Issue::Nouvelle));
        QVERIFY(registre.changerEtat(reference, EtatCertification::Ouverte, moi));
        const ResultatFiscal fiscal{texte, texte + "1", texte + "2", texte + "3", texte + "4", texte + "5"};
        QVERIFY2(registre.enregistrer(reference, fiscal), qPrintable(registre.erreur()));

        const std::optional<ResultatFiscal> relu = registre.chercher(reference);
        QVERIFY(relu);
        QVERIFY(*relu == fiscal);
        const std::optional<LigneJournal> ligne = registre.ligneJournal(reference);
        QVERIFY(ligne);
        QCOMPARE(ligne->destination, texte);
        QCOMPARE(ligne->empreinte, texte);
        QCOMPARE(nomEtat(ligne->etat), QString("terminee"));
        QCOMPARE(int(registre.reclamer(reference, texte, "appareil", texte, moi, registre.vivacite()).issue),
                 int(Reclamation::Issue::DejaValidee));
        // As another program reads the tables: the very text, not an escaped form of it.
        registre.fermer();
        QCOMPARE(valeur(fichier, "select reference from facture"), reference);
        QCOMPARE(valeur(fichier, "select destination from certification"), texte);
    }

    void sessionPerdueNeTientPlusRien()
    {
        // Till A holds R, its device invoice opened; its connection to the server is cut. A cannot
        // write its next step (so it sends nothing more), nor record the invoice, and another till
        // takes R over to settle it.
        if (!postgresql())
            QSKIP("a till's hold is its database session on the shared register only");
        const QString fichier = nouveauFichier();
        Registre a("registre-a");
        QVERIFY(ouvrir(a, fichier));
        const TitulaireExecution ta = a.titulaire();
        tenirJusqua(a, "ouverte");
        if (QTest::currentTestFailed())
            return;
        // The server ends A's session, as when the network drops it: found by A's own lock.
        QCOMPARE(valeur(fichier, QString("select count(pg_terminate_backend(pid)) from pg_locks where locktype = "
                                         "'advisory' and objid = %1 and objsubid = 2")
                                     .arg(ta.pid)),
                 QString("1"));
        QVERIFY(!a.changerEtat("R", EtatCertification::Payee, ta));
        QVERIFY2(a.erreur().contains("session du registre perdue"), qPrintable(a.erreur()));
        QVERIFY(!a.executionVivante(ta));
        QVERIFY(!a.enregistrer("R", resultat("R")));

        Registre b("registre-b");
        QVERIFY(ouvrir(b, fichier));
        const TitulaireExecution tb = b.titulaire();
        QElapsedTimer attente;
        attente.start();
        while (b.executionVivante(ta) && attente.elapsed() < 10000)
            QThread::msleep(10);
        QVERIFY(!b.executionVivante(ta));
        const Reclamation r = b.reclamer("R", "E", "appareil", "COM1", tb, b.vivacite());
        QCOMPARE(int(r.issue), int(Reclamation::Issue::Nouvelle));
        QVERIFY(r.precedente);
        QCOMPARE(nomEtat(r.precedente->etat), QString("ouverte"));
        QVERIFY(b.ligneJournal("R")->titulaire == tb);
        QCOMPARE(valeur(fichier, "select count(*) from facture"), QString("0"));
    }

    void registreInaccessible()
    {
        // A register that cannot be reached: no claim, with the reason, and never the password.
        Registre registre("registre-test");
        const EmplacementRegistre e = inaccessible();
        QVERIFY(!registre.ouvrir(e));
        QVERIFY(!registre.erreur().isEmpty());
        QVERIFY(!registre.chercher("F"));
        QVERIFY(!registre.enregistrer("F", resultat("F")));
        const Reclamation r = registre.reclamer("F", "E", "appareil", "X", {}, [](auto &) { return false; });
        QCOMPARE(int(r.issue), int(Reclamation::Issue::Echec));
        QVERIFY(!r.erreur.isEmpty());
        if (postgresql())
            QVERIFY2(!r.erreur.contains(e.motDePasse), qPrintable(r.erreur));
    }
};

// The same cases on each storage, one after the other; ORVANE_STOCKAGE_REGISTRE (sqlite or
// postgresql) keeps one of them.
int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QByteArray choisi = qgetenv("ORVANE_STOCKAGE_REGISTRE");
    int echecs = 0;
    if (choisi.isEmpty() || choisi == "sqlite") {
        RegistreFactures sqlite(RegistreFactures::Stockage::Sqlite);
        echecs += QTest::qExec(&sqlite, argc, argv);
    }
    if (choisi.isEmpty() || choisi == "postgresql") {
        RegistreFactures postgresql(RegistreFactures::Stockage::Postgresql);
        echecs += QTest::qExec(&postgresql, argc, argv);
    }
    return echecs;
}
#include "tst_registre.moc"
