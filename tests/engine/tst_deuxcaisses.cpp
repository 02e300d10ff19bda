#include "clusterpostgres.h"
#include "programmesuivi.h"

#include <etatscertification.h>
#include <registre.h>
#include <schemaregistre.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// Two tills of one shop, each an installation of the real engine with its own fiscal device (a
// simulator), sharing one register on a throw-away PostgreSQL server under the tills' least-privilege
// role. Judged by what the devices validated, the register's rows, the result files and the console.
class DeuxCaisses : public QObject
{
    Q_OBJECT

    // A device and the engine installed beside its app.xml.
    struct Caisse
    {
        QTemporaryDir dossier;
        std::unique_ptr<SimulateurMCF> appareil;

        QString chemin(const QString &nom) const { return dossier.filePath(nom); }
        // Invoices the device validated (a device in Bénin is not told the reference), or those of
        // one article.
        int validations(const QString &article = QString()) const
        {
            return int(
                appareil->lignes()
                    .filter(QRegularExpression(
                        "^facture validee .*article \"" +
                        (article.isEmpty() ? QString(".*") : QRegularExpression::escape(article)) + "\"$"))
                    .size());
        }
    };

    ClusterPostgres m_cluster;
    Caisse m_a, m_b;
    static constexpr const char *motDePasseCaisse = "Caisse-Pa55";

    static QString facture(const QString &reference, const QString &type = "FV",
                           const QString &originale = QString(), const QString &article = "Pain")
    {
        return reference + ";" + type + ";Ali;7;E;Kofi;123;Cotonou;97;;B;" + originale + ";\nB;" + article +
               ";2;100;118\n";
    }

    static void ecrire(const QString &chemin, const QString &texte)
    {
        QFile f(chemin);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(texte.toUtf8());
    }

    static QString lire(const QString &chemin)
    {
        QFile f(chemin);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<absent>");
    }

    void installer(Caisse &caisse, const QString &nim, const QStringList &options = {},
                   const QString &base = "magasin", const QString &role = "orvane_caisse",
                   const QString &motDePasse = motDePasseCaisse)
    {
        QVERIFY(caisse.dossier.isValid());
        caisse.appareil = std::make_unique<SimulateurMCF>(QStringList{"--nim", nim} + options);
        QVERIFY(!caisse.appareil->terminal.isEmpty());
        QVERIFY(installerMoteur(caisse.dossier.path()));
        ecrire(caisse.chemin("app.xml"),
               QString("<app pays=\"B&#233;nin\" portMCF=\"%1\" registre=\"%2\" motDePasseRegistre=\"%3\" "
                       "caisse=\"Caisse %4\"/>")
                   .arg(caisse.appareil->terminal, m_cluster.adresse(base, role), motDePasse, nim));
    }

    // `attente`: the engine's longest wait for the device's answer; `variables` added to its
    // environment.
    static std::unique_ptr<QProcess> lancer(const Caisse &caisse, const QString &nom,
                                            int attente = attenteMs(1500),
                                            const QMap<QString, QString> &variables = {})
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ORVANE_MCF_WAIT_MS", QString::number(attente));
        for (auto it = variables.begin(); it != variables.end(); ++it)
            env.insert(it.key(), it.value());
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(caisse.dossier.path());
        const QString entree = caisse.chemin(nom);
        p->start(caisse.chemin("orvane-engine"), {entree, entree + ".mcf"});
        return p;
    }

    static QString terminer(QProcess &p)
    {
        if (!p.waitForFinished(attenteFauteMs)) {
            p.kill();
            p.waitForFinished();
        }
        return QString::fromUtf8(p.readAllStandardOutput());
    }

    // Runs p.csv on `caisse`, whose device pauses 3 s before its answer to the payment, and stops
    // `serveur` in that pause: the close, whose state cannot be written, is not sent (6 frames
    // received, nothing validated, no result file).
    static void couperAvantFermeture(const Caisse &caisse, ClusterPostgres &serveur)
    {
        {
            const std::unique_ptr<QProcess> moteur = lancer(caisse, "p.csv", attenteMs(10000));
            QVERIFY(caisse.appareil->attendre(QRegularExpression("^pause de 3000 ms avant la reponse a 0x35")) >=
                    0);
            QVERIFY2(serveur.arreter(), qPrintable(serveur.erreur()));
            const QString console = terminer(*moteur);
            QVERIFY2(console.contains("impossible d'ecrire l'etat \"fermeture envoyee\""),
                     qPrintable(console.right(900)));
        }
        QCOMPARE(caisse.appareil->lignes().filter(QRegularExpression("^recu .*")).size(), 6);
        QCOMPARE(caisse.validations("Article coupe"), 0);
        QVERIFY(!QFile::exists(caisse.chemin("p.csv.mcf")));
    }

    static QString certifier(const Caisse &caisse, const QString &nom, const QString &contenu)
    {
        ecrire(caisse.chemin(nom), contenu);
        return terminer(*lancer(caisse, nom));
    }

    // The one value of `sql` on the shared register, as its owner sees it.
    QString valeur(const QString &sql) { return m_cluster.valeur("magasin", sql); }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_cluster.demarrer(), qPrintable(m_cluster.erreur()));
        QVERIFY2(m_cluster.executer("postgres", "create database magasin"), qPrintable(m_cluster.erreur()));
        // The owner makes the tables (an engine run with the owner's role), then gives the tills'
        // role what docs/installation.md gives it, and nothing more.
        {
            Registre proprietaire("proprietaire");
            EmplacementRegistre e;
            e.adresse = m_cluster.adresse("magasin");
            e.motDePasse = ClusterPostgres::motDePasseAdministrateur();
            QVERIFY2(proprietaire.ouvrir(e), qPrintable(proprietaire.erreur()));
        }
        QFile role(QStringLiteral(ORVANE_TEST_DATA_DIR "/../../examples/role-caisse.sql"));
        QVERIFY(role.open(QIODevice::ReadOnly));
        QVERIFY2(m_cluster.executer("magasin", QString::fromUtf8(role.readAll())),
                 qPrintable(m_cluster.erreur()));
        QVERIFY(m_cluster.executer("magasin",
                                   QString("alter role orvane_caisse password '%1'").arg(motDePasseCaisse)));
        installer(m_a, "SIMA000001");
        installer(m_b, "SIMB000002");
    }

    void creationParPlusieursCaissesALaFois()
    {
        // Tills started at once on an empty database: one creates the tables, every one certifies.
        QVERIFY(m_cluster.executer("postgres", "create database neuve"));
        std::vector<std::unique_ptr<Caisse>> caisses;
        std::vector<std::unique_ptr<QProcess>> moteurs;
        for (int i = 0; i < 3; ++i) {
            caisses.push_back(std::make_unique<Caisse>());
            installer(*caisses.back(), QString("SIMN00000%1").arg(i), {}, "neuve",
                      ClusterPostgres::administrateur(), ClusterPostgres::motDePasseAdministrateur());
            ecrire(caisses.back()->chemin("n.csv"), facture(QString("NEUVE-%1").arg(i)));
        }
        for (const auto &c : caisses)
            moteurs.push_back(lancer(*c, "n.csv"));
        for (std::size_t i = 0; i < moteurs.size(); ++i) {
            const QString console = terminer(*moteurs[i]);
            QVERIFY2(console.contains("Insertion de la facture dans la base de donnees reussie."),
                     qPrintable(console.right(900)));
            // The server's notices while the tables are made (one already there) are not printed.
            QCOMPARE(QString::fromUtf8(moteurs[i]->readAllStandardError()), QString());
        }
        QCOMPARE(m_cluster.valeur("neuve", "select count(*) from facture"), QString("3"));
        QCOMPARE(m_cluster.valeur("neuve", "select version from version_registre"), QString::number(versionSchema));
        QCOMPARE(m_cluster.valeur("neuve", "select count(*) from montants_facture"), QString("3"));
    }

    void exportDesDeuxCaisses()
    {
        // Each till certifies an invoice on the shared register; the export of either lists both,
        // each under its own till and device.
        QStringList jours;
        for (Caisse *caisse : {&m_a, &m_b}) {
            const QString reference = caisse == &m_a ? "EXPORT-A" : "EXPORT-B";
            const QString console = certifier(*caisse, "e.csv", facture(reference));
            QVERIFY2(console.contains("Insertion de la facture dans la base de donnees reussie."),
                     qPrintable(console.right(900)));
            jours << lire(caisse->chemin("e.csv.mcf")).section('\t', 5, 5).left(10);
        }
        std::sort(jours.begin(), jours.end(), [](const QString &a, const QString &b) {
            return QDate::fromString(a, "dd/MM/yyyy") < QDate::fromString(b, "dd/MM/yyyy");
        });
        for (Caisse *caisse : {&m_b, &m_a}) {
            QProcess p;
            p.setWorkingDirectory(caisse->dossier.path());
            p.start(caisse->chemin("orvane-engine"), {"--exporter", jours.first(), jours.last(), caisse->chemin("export.csv")});
            QVERIFY(p.waitForFinished(60000));
            QCOMPARE(p.exitCode(), 0);
            QStringList caisses;
            for (const QString &ligne : lire(caisse->chemin("export.csv")).split("\r\n")) {
                const QStringList champs = ligne.split(';');
                if (champs.first().startsWith("EXPORT-"))
                    caisses << champs.mid(0, 2).join(' ') + " | " + champs.at(4) + " | " + champs.at(6);
            }
            caisses.sort();
            QCOMPARE(caisses, (QStringList{"EXPORT-A FV | Caisse SIMA000001 | SIMA000001",
                                           "EXPORT-B FV | Caisse SIMB000002 | SIMB000002"}));
        }
    }

    void roleSansDroitDeSupprimer()
    {
        // The tills' role cannot delete invoices nor change the tables.
        QProcess psql;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PGPASSWORD", motDePasseCaisse);
        psql.setProcessEnvironment(env);
        for (const QString &sql : {QString("delete from facture"), QString("drop table certification"),
                                   QString("alter table facture add column x text")}) {
            psql.start("psql", {"-X", "-q", "-v", "ON_ERROR_STOP=1",
                                m_cluster.adresse("magasin", "orvane_caisse"), "-c", sql});
            QVERIFY(psql.waitForFinished(attenteFauteMs));
            const QString erreur = QString::fromUtf8(psql.readAllStandardError());
            QVERIFY2(psql.exitCode() != 0, qPrintable(sql));
            QVERIFY2(erreur.contains("permission denied") || erreur.contains("must be owner"),
                     qPrintable(erreur));
        }
    }

    void memeReferenceSurLesDeuxCaisses()
    {
        // Started on both tills at once, round after round: one certification each time.
        QStringList issues;
        for (int tour = 1; tour <= 6; ++tour) {
            const QString reference = QString("DOUBLE-%1").arg(tour);
            const int valides = m_a.validations() + m_b.validations();
            ecrire(m_a.chemin("f.csv"), facture(reference));
            ecrire(m_b.chemin("f.csv"), facture(reference));
            auto a = lancer(m_a, "f.csv");
            auto b = lancer(m_b, "f.csv");
            const QString consoleA = terminer(*a);
            const QString consoleB = terminer(*b);
            const QString contexte = reference + "\nA:\n" + consoleA + "\nB:\n" + consoleB;
            QVERIFY2(m_a.validations() + m_b.validations() - valides == 1, qPrintable(contexte.right(900)));
            // Each till either certified it, reprinted it, or was told the other one held it; the
            // register never failed either of them.
            for (const QString &console : {consoleA, consoleB}) {
                const bool certifiee =
                    console.contains("Insertion de la facture dans la base de donnees reussie.");
                const bool reimprimee = console.contains("Cette facture est deja validee.\n");
                const bool tenue =
                    console.contains("est en cours de certification par une autre execution (poste " +
                                     QSysInfo::machineHostName() + ", processus ");
                QVERIFY2(int(certifiee) + int(reimprimee) + int(tenue) == 1, qPrintable(console.right(900)));
                QVERIFY2(!console.contains("Registre inutilisable"), qPrintable(console.right(900)));
                issues << (certifiee ? "C" : reimprimee ? "R" : "T");
            }
            QCOMPARE(valeur("select count(*) from facture where reference = '" + reference + "'"),
                     QString("1"));
            QCOMPARE(valeur("select etat from certification where reference = '" + reference + "'"),
                     QString("terminee"));
            // The till that certified wrote its result; the other one either reprinted the same
            // codes or was told another till held it.
            const QString resultatA = lire(m_a.chemin("f.csv.mcf"));
            const QString resultatB = lire(m_b.chemin("f.csv.mcf"));
            QVERIFY2(resultatA.startsWith(reference + "\t") || resultatB.startsWith(reference + "\t"),
                     qPrintable(contexte));
            if (resultatA != "<absent>" && resultatB != "<absent>")
                QCOMPARE(resultatA, resultatB);
        }
        qInfo() << "issues des deux caisses:" << issues.join(' ');
    }

    void avoirEtReimpressionSurLAutreCaisse()
    {
        const int validesA = m_a.validations();
        const int validesB = m_b.validations();
        const QString console = certifier(m_a, "vente.csv", facture("VENTE-A"));
        QCOMPARE(m_a.validations() - validesA, 1);
        const QString tc = valeur("select mecef_tc from facture where reference = 'VENTE-A'");
        QVERIFY2(!tc.isEmpty(), qPrintable(console));

        // A reprint at B of A's invoice: no traffic at all on B's device, A's codes.
        const int tramesB = m_b.appareil->trames();
        const QString reimpression = certifier(m_b, "vente.csv", facture("VENTE-A"));
        QVERIFY2(reimpression.contains("Cette facture est deja validee.\n"), qPrintable(reimpression));
        QCOMPARE(m_b.appareil->trames(), tramesB);
        QCOMPARE(lire(m_b.chemin("vente.csv.mcf")), lire(m_a.chemin("vente.csv.mcf")));

        // A refund at B of A's invoice carries A's fiscal reference: its device and counter.
        const QString avoir = certifier(m_b, "avoir.csv", facture("AVOIR-B", "FA", "VENTE-A"));
        QVERIFY2(avoir.contains("Facture retrouvee: SIMA000001-" + tc + "\n"), qPrintable(avoir));
        QVERIFY2(avoir.contains("(NIM-)TC Facture originale: SIMA000001-" + tc + "\n"), qPrintable(avoir));
        QCOMPARE(m_b.validations() - validesB, 1);
        QCOMPARE(valeur("select mecef_nim from facture where reference = 'AVOIR-B'"), QString("SIMB000002"));
    }

    void caisseTueeAChaqueEtape_data()
    {
        QTest::addColumn<QString>("pause");   // the step the killed till's device holds its answer at
        QTest::addColumn<int>("validations"); // of the killed invoice, in the end
        QTest::addColumn<QString>("etat");    // its journal state once its own till ran again
        QTest::newRow("new invoice") << "C0:1:4000" << 0 << "abandonnee";
        QTest::newRow("item") << "31:1:4000" << 0 << "abandonnee";
        QTest::newRow("payment") << "35:1:4000" << 1 << "terminee";
        QTest::newRow("close: validated, its answer lost") << "38:1:4000" << 1 << "issue inconnue";
    }

    void caisseTueeAChaqueEtape()
    {
        // Till C is killed in the middle of an invoice while B goes on certifying: B is never held
        // up and never touches C's invoice, left on another device; C's next run settles it on its
        // own device, once.
        QFETCH(QString, pause);
        QFETCH(int, validations);
        QFETCH(QString, etat);
        static int numero = 0;
        const QString suffixe = QString::number(++numero);
        Caisse c;
        installer(c, "SIMC00000" + suffixe, {"--pause-avant", pause});
        const QString tuee = "TUEE-" + suffixe;
        const QString article = "Article tue " + suffixe;
        ecrire(c.chemin("a.csv"), facture(tuee, "FV", QString(), article));
        {
            const std::unique_ptr<QProcess> moteur = lancer(c, "a.csv");
            QVERIFY(c.appareil->attendre(QRegularExpression("^pause de 4000 ms avant la reponse")) >= 0);
            moteur->kill();
            moteur->waitForFinished(attenteFauteMs);
        }
        // The device answers the killed run's last command before it reads anything else.
        QVERIFY(c.appareil->attendre(QRegularExpression("^envoye .*0x" + pause.section(':', 0, 0) + " n°1:"),
                                     attenteFauteMs) >= 0);
        const QString etatTue = valeur("select etat from certification where reference = '" + tuee + "'");
        const QString titulaireTue = valeur("select pid from certification where reference = '" + tuee + "'");

        const int validesB = m_b.validations();
        const QString consoleB = certifier(m_b, "b.csv", facture("APRES-" + suffixe));
        QVERIFY2(m_b.validations() - validesB == 1, qPrintable(consoleB.right(900)));
        QVERIFY(!consoleB.contains(tuee));
        QCOMPARE(valeur("select etat from certification where reference = '" + tuee + "'"), etatTue);
        QCOMPARE(valeur("select pid from certification where reference = '" + tuee + "'"), titulaireTue);
        QCOMPARE(valeur("select destination from certification where reference = '" + tuee + "'"),
                 "SIMC00000" + suffixe);

        const QString consoleC = certifier(c, "c.csv", facture("SUITE-" + suffixe));
        QCOMPARE(c.validations(article), validations);
        QCOMPARE(valeur("select etat from certification where reference = '" + tuee + "'"), etat);
        QCOMPARE(valeur("select count(*) from facture where reference = '" + tuee + "'"),
                 QString::number(etat == "terminee" ? 1 : 0));
        QCOMPARE(valeur("select etat from certification where reference = 'SUITE-" + suffixe + "'"),
                 QString("terminee"));
    }

    void serveurArreteEntreDeuxEtapes()
    {
        // The server stops while the device holds the answer to the payment: the close, whose state
        // cannot be written, is not sent; nothing is certified twice, and once the server is back
        // the till's next run settles the paid invoice on its device and records it.
        Caisse e;
        installer(e, "SIME000001", {"--pause-avant", "35:1:3000"});
        ecrire(e.chemin("p.csv"), facture("COUPEE-1", "FV", QString(), "Article coupe"));
        couperAvantFermeture(e, m_cluster);
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(m_cluster.redemarrer(), qPrintable(m_cluster.erreur()));
        QCOMPARE(valeur("select etat from certification where reference = 'COUPEE-1'"), QString("payee"));

        const QString suite = certifier(e, "s.csv", facture("COUPEE-2"));
        QVERIFY2(e.validations("Article coupe") == 1, qPrintable(suite.right(900)));
        QCOMPARE(valeur("select etat from certification where reference = 'COUPEE-1'"), QString("terminee"));
        QCOMPARE(valeur("select count(*) from facture where reference = 'COUPEE-1'"), QString("1"));
        QCOMPARE(valeur("select etat from certification where reference = 'COUPEE-2'"), QString("terminee"));
        // Run again, the first invoice is a reprint.
        const int trames = e.appareil->trames();
        const QString reprise = certifier(e, "p.csv", facture("COUPEE-1", "FV", QString(), "Article coupe"));
        QVERIFY2(reprise.contains("Cette facture est deja validee.\n"), qPrintable(reprise.right(900)));
        QCOMPARE(e.appareil->trames(), trames);
    }

    void serveurDeSecoursPrendLeRelais()
    {
        // A shop's register on a primary server with a streaming standby, both named in the tills'
        // address; libpq connects to the one that accepts writes. A till certifies on the primary; a
        // second till's run is cut from the primary between two device steps; the primary stops and
        // the standby is promoted. The cut run sent no further step, the next run settles its invoice
        // there, and no invoice is validated twice.
        ClusterPostgres primaire;
        ClusterPostgres secours;
        QVERIFY2(primaire.demarrer(), qPrintable(primaire.erreur()));
        QVERIFY2(primaire.executer("postgres", "create database magasin"), qPrintable(primaire.erreur()));
        QVERIFY2(secours.demarrerSecours(primaire), qPrintable(secours.erreur()));
        const QString adresse = QString("postgresql://%1@127.0.0.1:%2,127.0.0.1:%3/magasin"
                                        "?target_session_attrs=read-write")
                                    .arg(ClusterPostgres::administrateur())
                                    .arg(primaire.port())
                                    .arg(secours.port());
        Caisse f, e;
        installer(f, "SIMF000001");
        installer(e, "SIMG000001", {"--pause-avant", "35:1:3000"});
        for (Caisse *c : {&f, &e})
            ecrire(c->chemin("app.xml"),
                   QString("<app pays=\"B&#233;nin\" portMCF=\"%1\" registre=\"%2\" motDePasseRegistre=\"%3\"/>")
                       .arg(c->appareil->terminal, adresse, ClusterPostgres::motDePasseAdministrateur()));

        const QString premiere = certifier(f, "a.csv", facture("RELAIS-1", "FV", QString(), "Article primaire"));
        QVERIFY2(premiere.contains("Insertion de la facture dans la base de donnees reussie."),
                 qPrintable(premiere.right(900)));
        QCOMPARE(primaire.valeur("magasin", "select count(*) from facture where reference = 'RELAIS-1'"),
                 QString("1"));

        ecrire(e.chemin("p.csv"), facture("RELAIS-COUPEE", "FV", QString(), "Article coupe"));
        // Nothing after the payment reached the device.
        couperAvantFermeture(e, primaire);
        if (QTest::currentTestFailed())
            return;
        // The standby followed the primary up to its stop.
        QCOMPARE(secours.valeur("magasin", "select etat from certification where reference = 'RELAIS-COUPEE'"),
                 QString("payee"));

        // Before its promotion the standby accepts no writes: no till certifies on it.
        const int tramesF = f.appareil->trames();
        const QString refusee = certifier(f, "b.csv", facture("RELAIS-2", "FV", QString(), "Article secours"));
        QVERIFY2(refusee.contains("Registre inutilisable ("), qPrintable(refusee.right(900)));
        QCOMPARE(f.appareil->trames(), tramesF);

        QVERIFY2(secours.promouvoir(), qPrintable(secours.erreur()));
        const QString suite = certifier(e, "s.csv", facture("RELAIS-SUITE"));
        QVERIFY2(suite.contains("Insertion de la facture dans la base de donnees reussie."),
                 qPrintable(suite.right(900)));
        QCOMPARE(e.validations("Article coupe"), 1);
        QCOMPARE(secours.valeur("magasin", "select etat from certification where reference = 'RELAIS-COUPEE'"),
                 QString("terminee"));
        QCOMPARE(secours.valeur("magasin", "select count(*) from facture where reference = 'RELAIS-COUPEE'"),
                 QString("1"));

        const QString apres = certifier(f, "b.csv", facture("RELAIS-2", "FV", QString(), "Article secours"));
        QVERIFY2(apres.contains("Insertion de la facture dans la base de donnees reussie."),
                 qPrintable(apres.right(900)));
        // The primary's invoice is in the standby's register: a reprint, nothing sent.
        const int trames = f.appareil->trames();
        const QString reimpression = certifier(f, "a.csv", facture("RELAIS-1", "FV", QString(), "Article primaire"));
        QVERIFY2(reimpression.contains("Cette facture est deja validee.\n"), qPrintable(reimpression.right(900)));
        QCOMPARE(f.appareil->trames(), trames);
        QCOMPARE(f.validations("Article primaire"), 1);
        QCOMPARE(f.validations("Article secours"), 1);
        QCOMPARE(secours.valeur("magasin", "select count(*) from facture"), QString("4"));
        QCOMPARE(secours.valeur("magasin", "select count(*) from (select reference from facture group by "
                                           "reference having count(*) > 1) d"),
                 QString("0"));
    }

    void copieDUnRegistreDeCaisse()
    {
        // A till's SQLite register with invoices and journal rows in every state, copied twice into
        // a shared register that already holds one of its references with other codes.
        QTemporaryDir dossier;
        QVERIFY(installerMoteur(dossier.path()));
        const QString fichier = dossier.filePath("mcf.s3db");
        QStringList enSuspens;
        {
            Registre caisse("caisse-sqlite");
            QVERIFY(caisse.ouvrir(fichier));
            for (const QString &r : QStringList{"COP-1", "COP-2", "COP-3"})
                QVERIFY(caisse.enregistrer(
                    r, ResultatFiscal{"F;" + r, "1", "SIG" + r, "NIM1", "1/1 FV", "20260101"}));
            caisse.fermer();
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "caisse-outil");
            db.setDatabaseName(fichier);
            QVERIFY(db.open());
            for (const EtatCertification etat : tousLesEtats) {
                QSqlQuery q(db);
                q.prepare(
                    "insert into certification (reference, etat, chemin, destination, pid, identite, cree) "
                    "values (?, ?, 'appareil', 'COM1', 4, 'x', '2026-01-01')");
                q.addBindValue("J " + nomEtat(etat));
                q.addBindValue(nomEtat(etat));
                QVERIFY(q.exec());
                if (!etatTermine(etat))
                    enSuspens << "J " + nomEtat(etat);
            }
        }
        QSqlDatabase::removeDatabase("caisse-outil");
        QVERIFY(m_cluster.executer("postgres", "create database copie"));
        {
            Registre partage("partage");
            EmplacementRegistre e;
            e.adresse = m_cluster.adresse("copie");
            e.motDePasse = ClusterPostgres::motDePasseAdministrateur();
            QVERIFY(partage.ouvrir(e));
            QVERIFY(partage.enregistrer(
                "COP-3", ResultatFiscal{"F;AUTRE", "9", "SIGAUTRE", "NIM9", "9/9 FV", "2026"}));
        }
        ecrire(dossier.filePath("app.xml"),
               QString("<app registre=\"%1\" motDePasseRegistre=\"%2\"/>")
                   .arg(m_cluster.adresse("copie"), ClusterPostgres::motDePasseAdministrateur()));
        for (int fois = 1; fois <= 2; ++fois) {
            QProcess p;
            p.start(dossier.filePath("orvane-engine"), {"--copier-registre"});
            QVERIFY(p.waitForFinished(attenteFauteMs));
            const QString console = QString::fromUtf8(p.readAllStandardOutput());
            QCOMPARE(p.exitCode(), 1);
            QVERIFY2(console.contains(
                         "Conflit: la facture COP-3 est deja enregistree avec d'autres codes fiscaux; "
                         "elle n'est pas remplacee.\n"),
                     qPrintable(console));
            QVERIFY(!console.contains(ClusterPostgres::motDePasseAdministrateur()));
            QVERIFY2(console.contains(
                         fois == 1
                             ? QString(": 2 factures copiees, 0 deja presentes, 1 en conflit; %1 lignes "
                                       "du journal copiees.\n")
                                   .arg(enSuspens.size())
                             : QString(": 0 factures copiees, 2 deja presentes, 1 en conflit; 0 lignes "
                                       "du journal copiees.\n")),
                     qPrintable(console));
            QCOMPARE(m_cluster.valeur("copie", "select count(*) from facture"), QString("3"));
            QCOMPARE(m_cluster.valeur("copie", "select qrcode from facture where reference = 'COP-3'"),
                     QString("F;AUTRE"));
            QCOMPARE(m_cluster.valeur(
                         "copie", "select string_agg(reference, ',' order by reference) from certification"),
                     [&] {
                         QStringList l = enSuspens;
                         l.sort();
                         return l.join(',');
                     }());
        }
        // Into a register that holds none of them, from a file named on the command line: nothing in
        // conflict.
        QVERIFY(m_cluster.executer("postgres", "create database copie2"));
        ecrire(dossier.filePath("app.xml"),
               QString("<app registre=\"%1\" motDePasseRegistre=\"%2\"/>")
                   .arg(m_cluster.adresse("copie2"), ClusterPostgres::motDePasseAdministrateur()));
        QVERIFY(QFile::rename(fichier, dossier.filePath("caisse1.s3db")));
        QProcess p;
        p.start(dossier.filePath("orvane-engine"), {"--copier-registre", dossier.filePath("caisse1.s3db")});
        QVERIFY(p.waitForFinished(attenteFauteMs));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(m_cluster.valeur("copie2", "select count(*) from facture"), QString("3"));
        QVERIFY(!QFile::exists(fichier));
    }

    void emcfMemeReferenceSurLesDeuxCaisses()
    {
        // Two tills on one e-MCF account sharing the register: one reference started on both at
        // once is confirmed once, and a till's reprint of the other's invoice sends nothing.
        QTemporaryDir pki;
        QProcess openssl;
        openssl.setWorkingDirectory(pki.path());
        openssl.start("openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                  "-nodes", "-days", "2", "-keyout", "serveur.key", "-out", "serveur.pem",
                                  "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"});
        QVERIFY(openssl.waitForFinished(attenteFauteMs) && openssl.exitCode() == 0);
        ProgrammeSuivi service;
        QVERIFY(service.demarrer(
            QStringLiteral(ORVANE_BIN_DIR "/orvane-emcf-sim"),
            {"--certificat", pki.filePath("serveur.pem"), "--cle", pki.filePath("serveur.key")}));
        QCOMPARE(service.attendre(QRegularExpression("^orvane-emcf-sim: https://")), 0);
        const QMap<QString, QString> variables{{"ORVANE_EMCF_URL", service.lignes().first().section(' ', 1)},
                                               {"ORVANE_EMCF_CA", pki.filePath("serveur.pem")}};
        Caisse a, b;
        for (Caisse *c : {&a, &b}) {
            QVERIFY(installerMoteur(c->dossier.path()));
            ecrire(c->chemin("app.xml"),
                   QString("<app pays=\"B&#233;nin\" modeMCF=\"D&#233;veloppement\" "
                           "jeton=\"jeton-de-test\" registre=\"%1\" "
                           "motDePasseRegistre=\"%2\"/>")
                       .arg(m_cluster.adresse("magasin", "orvane_caisse"), motDePasseCaisse));
        }
        // Confirmations the service answered with a QR code: each one validates an invoice.
        const auto confirmations = [&service] {
            const QStringList l = service.lignes();
            int n = 0;
            for (int i = 0; i + 1 < l.size(); ++i)
                n += l.at(i).startsWith("> PUT ") && l.at(i).endsWith("/confirm") &&
                     l.at(i + 1).contains("qrCode");
            return n;
        };
        for (int tour = 1; tour <= 4; ++tour) {
            const QString reference = QString("EMCF-%1").arg(tour);
            const int avant = confirmations();
            ecrire(a.chemin("f.csv"), facture(reference));
            ecrire(b.chemin("f.csv"), facture(reference));
            auto pa = lancer(a, "f.csv", attenteMs(1500), variables);
            auto pb = lancer(b, "f.csv", attenteMs(1500), variables);
            const QString consoleA = terminer(*pa);
            const QString consoleB = terminer(*pb);
            QVERIFY2(confirmations() - avant == 1,
                     qPrintable(consoleA.right(600) + "\n" + consoleB.right(600)));
            QCOMPARE(valeur("select count(*) from facture where reference = '" + reference + "'"),
                     QString("1"));
            for (const QString &console : {consoleA, consoleB})
                QVERIFY2(!console.contains("Registre inutilisable"), qPrintable(console.right(600)));
        }
        const int requetes = int(service.lignes().filter(QRegularExpression("^> ")).size());
        const QString reimpression = terminer(*lancer(b, "f.csv", attenteMs(1500), variables));
        QVERIFY2(reimpression.contains("Cette facture est deja validee.\n"),
                 qPrintable(reimpression.right(600)));
        QCOMPARE(int(service.lignes().filter(QRegularExpression("^> ")).size()), requetes);
        // The account is known by a digest of its token, never by the token.
        QCOMPARE(valeur("select count(*) from certification where destination like '%jeton-de-test%'"),
                 QString("0"));
        QCOMPARE(
            valeur("select count(distinct destination) from certification where reference like 'EMCF-%'"),
            QString("1"));
    }

    void serveurArreteAvantUneExecution()
    {
        // The server is down: nothing is sent to the device, the run says why and writes no result;
        // once it is back, the same invoice is certified once.
        QVERIFY2(m_cluster.arreter(), qPrintable(m_cluster.erreur()));
        const int trames = m_b.appareil->trames();
        const int valides = m_b.validations();
        const QString console = certifier(m_b, "panne.csv", facture("PANNE-1"));
        QVERIFY2(console.contains("Registre inutilisable ("), qPrintable(console));
        QVERIFY(!console.contains(motDePasseCaisse));
        QCOMPARE(m_b.appareil->trames(), trames);
        QVERIFY(!QFile::exists(m_b.chemin("panne.csv.mcf")));
        QVERIFY2(m_cluster.redemarrer(), qPrintable(m_cluster.erreur()));
        const QString apres = certifier(m_b, "panne.csv", facture("PANNE-1"));
        QCOMPARE(m_b.validations() - valides, 1);
        QVERIFY2(lire(m_b.chemin("panne.csv.mcf")).startsWith("PANNE-1\t"), qPrintable(apres));
    }
};

QTEST_GUILESS_MAIN(DeuxCaisses)
#include "tst_deuxcaisses.moc"
