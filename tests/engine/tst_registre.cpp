#include "registre.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

// The invoice register on a real SQLite file.
class RegistreFactures : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dossier;
    int m_compteur = 0;

    QString nouveauFichier() { return m_dossier.filePath(QStringLiteral("mcf-%1.s3db").arg(++m_compteur)); }

    static ResultatFiscal resultat(const QString &suffixe)
    {
        return {"F;EM01;SIG" + suffixe + ";123;20200109135542",
                "87" + suffixe,
                "SIG" + suffixe,
                "EM01",
                "82/87" + suffixe + " FV",
                "20200109135542"};
    }

    // Runs one statement on its own connection to `fichier` (as an installer's tool would).
    static void executer(const QString &fichier, const QString &sql)
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "outil");
            db.setDatabaseName(fichier);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY2(q.exec(sql), qPrintable(sql));
        }
        QSqlDatabase::removeDatabase("outil");
    }

private slots:
    void initTestCase() { QVERIFY(m_dossier.isValid()); }

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
        QVERIFY(registre.ouvrir(nouveauFichier()));
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
            QVERIFY(registre.ouvrir(fichier));
            QVERIFY(registre.enregistrer("FAC-9", resultat("9")));
        }
        Registre registre("registre-test");
        QVERIFY(registre.ouvrir(fichier));
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
        QVERIFY(registre.ouvrir(fichier));
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
        QVERIFY(registre.ouvrir(fichier));
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
        QVERIFY(registre.ouvrir(fichier));
        QVERIFY(
            registre.enregistrer("SANS-SIG", ResultatFiscal{"q", QString(), QString(), "N", "2/2 FV", "d"}));
        const auto trouve = registre.chercher("");
        QVERIFY(trouve);
        QCOMPARE(trouve->qrcode, QString("qN"));
        registre.fermer();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "outil");
            db.setDatabaseName(fichier);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec("select count(*) from facture where reference = 'SANS-SIG' and mecef_tc = '' "
                           "and mecef_sig = ''") &&
                    q.next());
            QCOMPARE(q.value(0).toInt(), 1);
        }
        QSqlDatabase::removeDatabase("outil");
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
        QTest::newRow("dead run sent the close: outcome unknown")
            << "fermeture envoyee" << false << false << int(I::IssueInconnue) << "fermeture envoyee";
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
            QVERIFY(registre.ouvrir(fichier));
            if (dansFacture)
                QVERIFY(registre.enregistrer("R1", resultat("1")));
        }
        if (!etat.isEmpty())
            executer(fichier,
                     QString("insert or replace into certification (reference, etat, chemin, destination, "
                             "empreinte, uid, pid, identite) values ('R1', '%1', 'appareil', '/dev/x', "
                             "'E1', 'u', 111, 'a')")
                         .arg(etat));
        Registre registre("registre-test");
        QVERIFY(registre.ouvrir(fichier));
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
        QCOMPARE(registre.changerEtat("R1", EtatCertification::Ouverte, ancienne),
                 !prise && ligne->titulaire.pid == ancienne.pid);
    }

    void reprisesDesExecutionsDisparues()
    {
        const QString fichier = nouveauFichier();
        {
            Registre registre("registre-test");
            QVERIFY(registre.ouvrir(fichier));
        }
        const QStringList lignes = {
            "('OUV', 'ouverte', 'appareil', 'COM1', 'E', '', 1, 'x')",
            "('PAY', 'payee', 'appareil', 'COM1', 'E', '', 2, 'x')",
            "('FER', 'fermeture envoyee', 'appareil', 'COM1', 'E', '', 3, 'x')",
            "('REC', 'reclamee', 'appareil', 'COM1', 'E', '', 4, 'x')",
            "('VIV', 'ouverte', 'appareil', 'COM1', 'E', '', 5, 'x')",
            "('AUT', 'ouverte', 'appareil', 'COM2', 'E', '', 6, 'x')",
            "('MOI', 'ouverte', 'appareil', 'COM1', 'E', '', 7, 'x')",
            "('FIN', 'terminee', 'appareil', 'COM1', 'E', '', 8, 'x')",
        };
        for (const QString &l : lignes)
            executer(fichier,
                     "insert into certification (reference, etat, chemin, destination, empreinte, uid, "
                     "pid, identite) values " +
                         l);
        Registre registre("registre-test");
        QVERIFY(registre.ouvrir(fichier));
        const TitulaireExecution moi{99, "m"};
        const auto vivante = [](const TitulaireExecution &t) { return t.pid == 5; };
        QStringList prises;
        for (const LigneJournal &l : registre.reprendreEnSuspens("appareil", "COM1", "MOI", moi, vivante))
            prises << l.reference + "=" + nomEtat(l.etat);
        // Open and paid invoices of dead runs on this device; not the one whose close is unknown, not
        // a live run's, not another device's, not this run's own reference.
        QCOMPARE(prises, (QStringList{"OUV=ouverte", "PAY=payee"}));
        QCOMPARE(registre.ligneJournal("OUV")->titulaire.pid, 99);
        QCOMPARE(nomEtat(registre.ligneJournal("REC")->etat), QString("abandonnee"));
        QCOMPARE(registre.ligneJournal("VIV")->titulaire.pid, 5);
        QCOMPARE(registre.ligneJournal("AUT")->titulaire.pid, 6);
        QCOMPARE(nomEtat(registre.ligneJournal("FER")->etat), QString("fermeture envoyee"));

        // The operator releases the unknown close; a finished invoice cannot be released.
        QCOMPARE(registre.abandonner("FER"),
                 std::optional<EtatCertification>(EtatCertification::FermetureEnvoyee));
        QCOMPARE(nomEtat(registre.ligneJournal("FER")->etat), QString("abandonnee"));
        QVERIFY(!registre.abandonner("FIN"));
        QVERIFY(!registre.abandonner("ABSENTE"));
    }

    void enregistrementEtJournalEnUneTransaction()
    {
        // The row of facture and the journal's "done" go together: when the insert fails, the
        // journal keeps its state.
        const QString fichier = nouveauFichier();
        const TitulaireExecution moi{1, "m"};
        {
            Registre registre("registre-test");
            QVERIFY(registre.ouvrir(fichier));
            QCOMPARE(int(registre.reclamer("T1", "E", "appareil", "COM1", moi, [](auto &) { return false; })
                             .issue),
                     int(Reclamation::Issue::Nouvelle));
            QVERIFY(registre.changerEtat("T1", EtatCertification::FermetureEnvoyee, moi));
        }
        executer(
            fichier,
            "create trigger refus before insert on facture begin select raise(abort, 'disque plein'); end");
        {
            Registre registre("registre-test");
            QVERIFY(registre.ouvrir(fichier));
            QVERIFY(!registre.enregistrer("T1", resultat("1")));
            QVERIFY(registre.erreur().contains("disque plein"));
            QCOMPARE(nomEtat(registre.ligneJournal("T1")->etat), QString("fermeture envoyee"));
        }
        executer(fichier, "drop trigger refus");
        Registre registre("registre-test");
        QVERIFY(registre.ouvrir(fichier));
        QVERIFY(registre.enregistrer("T1", resultat("1")));
        QCOMPARE(nomEtat(registre.ligneJournal("T1")->etat), QString("terminee"));
    }

    void registreInutilisable_data()
    {
        QTest::addColumn<QByteArray>("contenu"); // file content, or SQL to run on a fresh register
        QTest::addColumn<bool>("sql");
        QTest::newRow("garbage file") << QByteArray(4096, 'x') << false;
        QTest::newRow("facture with other columns")
            << QByteArray("create table facture (id integer, montant real)") << true;
    }

    void registreInutilisable()
    {
        // The claim is the gate: a register that cannot be read or written refuses it with SQLite's
        // reason, so that nothing is sent to a device or a service.
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
        registre.ouvrir(fichier);
        const Reclamation r = registre.reclamer("R", "E", "appareil", "COM1", {1, "m"},
                                                [](const TitulaireExecution &) { return false; });
        QCOMPARE(int(r.issue), int(Reclamation::Issue::Echec));
        QVERIFY2(!r.erreur.isEmpty(), "the reason must be given");
    }

    void fichierImpossibleAOuvrir()
    {
        Registre registre("registre-test");
        QVERIFY(!registre.ouvrir(m_dossier.filePath("absent/mcf.s3db")));
        QVERIFY(!registre.chercher("F"));
        QVERIFY(!registre.enregistrer("F", resultat("F")));
    }
};

QTEST_GUILESS_MAIN(RegistreFactures)
#include "tst_registre.moc"
