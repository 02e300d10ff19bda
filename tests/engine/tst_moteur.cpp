#include "programmesuivi.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

// The whole run of the real orvane-engine, installed in a throw-away folder with its app.xml and
// register. Certification goes through the demonstration result, so no device or service is needed.
class ExecutionMoteur : public QObject
{
    Q_OBJECT

    struct Installation
    {
        QTemporaryDir dossier;
        QString chemin(const QString &nom) const { return dossier.filePath(nom); }
    };

    struct Sortie
    {
        int code = -99;
        QString console;
    };

    static const char *facture()
    {
        return "FAC-001;FV;Ali;7;E;Kofi;123;Cotonou;97;;B;;ticket\nB;Pain;2;100;118\n";
    }

    static void ecrire(const QString &chemin, const QByteArray &contenu)
    {
        QFile f(chemin);
        QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(chemin));
        f.write(contenu);
    }

    static QString lire(const QString &chemin)
    {
        QFile f(chemin);
        if (!f.open(QIODevice::ReadOnly))
            return QStringLiteral("<absent>");
        return QString::fromUtf8(f.readAll());
    }

    // A copy of the engine in a fresh folder, with `appXml` beside it unless it is null.
    static void installer(Installation &i, const QByteArray &appXml)
    {
        QVERIFY(i.dossier.isValid());
        QVERIFY(installerMoteur(i.dossier.path()));
        if (!appXml.isNull())
            ecrire(i.chemin("app.xml"), appXml);
    }

    // A stand-in renderer that records the arguments it was started with.
    static void installerRenduFactice(Installation &i)
    {
        const QString script = i.chemin("orvane-render");
        ecrire(script, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/render-args.tmp\"\n"
                       "mv \"$(dirname \"$0\")/render-args.tmp\" \"$(dirname \"$0\")/render-args.txt\"\n");
        QFile::setPermissions(script, QFile::permissions(script) | QFile::ExeOwner);
    }

    // `attenteAppareilMs`: the engine's wait for the device's bytes. Short, for a port where nothing
    // answers; a run that talks to a device gives it a wait that the device's answers never reach.
    static Sortie lancer(const Installation &i, const QStringList &arguments,
                         const QString &dossierCourant = QString(), int attenteAppareilMs = 300)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.insert("ORVANE_MCF_WAIT_MS", QString::number(attenteAppareilMs));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dossierCourant.isEmpty() ? i.dossier.path() : dossierCourant);
        p.start(i.chemin("orvane-engine"), arguments);
        Sortie s;
        if (!p.waitForFinished(attenteFauteMs)) {
            p.kill();
            p.waitForFinished();
            return s;
        }
        s.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -98;
        s.console = QString::fromUtf8(p.readAllStandardOutput());
        return s;
    }

    static void insererDansRegistre(const QString &fichier, const QStringList &ligne)
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "test-moteur");
            db.setDatabaseName(fichier);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec("create table if not exists facture (reference text, qrcode text, mecef_tc text, "
                           "mecef_sig text, mecef_nim text, mecef_compt text, mecef_date text)"));
            q.prepare("insert into facture values (?, ?, ?, ?, ?, ?, ?)");
            for (const QString &v : ligne)
                q.addBindValue(v);
            QVERIFY(q.exec());
        }
        QSqlDatabase::removeDatabase("test-moteur");
    }

    static int lignesDuRegistre(const QString &fichier)
    {
        int n = -1;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "test-compte");
            db.setDatabaseName(fichier);
            if (db.open()) {
                QSqlQuery q(db);
                if (q.exec("select count(*) from facture") && q.next())
                    n = q.value(0).toInt();
            }
        }
        QSqlDatabase::removeDatabase("test-compte");
        return n;
    }

    static QString ligneDemo(const QString &reference)
    {
        return reference + "\t\tDEMO-5AB7-CD9E-F2GH-4JK6-LM8N\tEM01020304\t82/87 FV\t09/01/2020 13:55:42\t"
                           "F;EM01020304;DEMO5AB7CD9EF2GH4JK6LM8N;1234567890123;20200109135542\t";
    }

private slots:
    void demonstrationEtRenduLance()
    {
        Installation i;
        installer(i, "<app pays=\"B&#233;nin\" portMCF=\"DEMO\" jeton=\"\"/>");
        installerRenduFactice(i);
        const QString entree = i.chemin("facture.csv");
        ecrire(entree, facture());

        const Sortie s = lancer(i, {entree});
        QCOMPARE(s.code, 0);
        const QString debut = "Fichier app.xml ouvert.\nFichier app.xml charge.\nFichier app.xml ferme.\n"
                              "orvane-engine: Fichier d'entree ouvert.\nBase de donnee connectee.\n"
                              "Utilisateur: Ali\nClient: Kofi IFU: 123 , Taux AIB 5%\n\n"
                              "Pain (2 * 118) = 236.0000 + AIB (10.0000) = 246.0000\n"
                              "Le fichier a ete ferme.\n\nTraitement de la nouvelle facture.\n";
        const QString fin = "\nLa base de donnee a ete deconnecte.\nLe fichier de sortie " + entree +
                            ".mcf a ete bien enregistre.\nRoutine d'impression lancee orvane-render \"" +
                            entree + "\" \"" + entree + ".mcf\" .\nLe programme va se terminer.\n";
        // The demonstration talks to no device at all, whatever serial ports the machine has.
        QCOMPARE(s.console, debut + "Mode demonstration: aucun appareil n'est contacte.\n" + fin);

        QCOMPARE(lire(entree + ".mcf"), ligneDemo("FAC-001"));
        QVERIFY(lire(entree + ".svg").startsWith("<?xml"));
        QVERIFY(QFile::exists(entree + ".png"));
        // The demonstration result is never recorded.
        QCOMPARE(lignesDuRegistre(i.chemin("mcf.s3db")), 0);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(i.chemin("render-args.txt")), attenteFauteMs);
        QCOMPARE(lire(i.chemin("render-args.txt")), entree + "\n" + entree + ".mcf\n");
    }

    void chemins_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("entree");   // relative to the installation
        QTest::addColumn<QString>("resultat"); // relative to the installation

        QTest::newRow("no arguments: input.csv beside the engine") << QStringList{} << "input.csv"
                                                                   << "input.csv.mcf";
        QTest::newRow("input only: result beside it") << QStringList{"@/sous/f.csv"} << "sous/f.csv"
                                                      << "sous/f.csv.mcf";
        QTest::newRow("explicit result path") << QStringList{"@/f.csv", "@/sortie/r.txt"} << "f.csv"
                                              << "sortie/r.txt";
        QTest::newRow("port 0 keeps the DEMO of app.xml") << QStringList{"@/f.csv", "@/r.mcf", "0"} << "f.csv"
                                                          << "r.mcf";
        QTest::newRow("fifth and later arguments ignored")
            << QStringList{"@/f.csv", "@/r.mcf", "0", "show", "x", "y"} << "f.csv"
            << "r.mcf";
    }

    void chemins()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, entree);
        QFETCH(QString, resultat);
        Installation i;
        installer(i, "<app pays=\"B&#233;nin\" portMCF=\"DEMO\"/>");
        QVERIFY(QDir(i.dossier.path()).mkpath("sous"));
        QVERIFY(QDir(i.dossier.path()).mkpath("sortie"));
        QVERIFY(QDir(i.dossier.path()).mkpath("ailleurs"));
        ecrire(i.chemin(entree), "FAC-9;FV;Ali\n");
        // A file named as a library the engine links, in the folder it is started from, is never
        // loaded (an empty entry in the program's library search path would mean that folder).
        ecrire(i.chemin("ailleurs/libQt6Core.so.6"), "pas une bibliotheque");
        for (QString &a : arguments)
            a.replace("@", i.dossier.path());
        // The working directory does not matter: everything is found beside the engine or by path.
        const Sortie s = lancer(i, arguments, i.chemin("ailleurs"));
        QCOMPARE(s.code, 0);
        QCOMPARE(lire(i.chemin(resultat)), ligneDemo("FAC-9"));
        QVERIFY(QFile::exists(i.chemin(entree) + ".png"));
        QVERIFY(s.console.contains("La routine d'impression ne sera pas lancee.\n"));
        QVERIFY(!QFile::exists(i.chemin("ailleurs/app.xml.mcf")));
    }

    void portDeLaLigneDeCommande_data()
    {
        QTest::addColumn<QString>("portAppXml");
        QTest::addColumn<QString>("argument");
        QTest::addColumn<bool>("demonstration");
        QTest::newRow("DEMO given on the command line") << "COM9"
                                                        << "DEMO" << true;
        QTest::newRow("another port replaces DEMO") << "DEMO"
                                                    << "/dev/orvane-absent" << false;
        QTest::newRow("DEMO with a token is not the demonstration") << "DEMO+jeton"
                                                                    << "0" << false;
    }

    void portDeLaLigneDeCommande()
    {
        QFETCH(QString, portAppXml);
        QFETCH(QString, argument);
        QFETCH(bool, demonstration);
        Installation i;
        const bool jeton = portAppXml.endsWith("+jeton");
        const QString port = QString(portAppXml).remove("+jeton");
        installer(
            i,
            QString("<app pays=\"Togo\" portMCF=\"%1\" jeton=\"%2\"/>").arg(port, jeton ? "t" : "").toUtf8());
        const QString entree = i.chemin("f.csv");
        ecrire(entree, "FAC-3;FV;Ali\n");
        const Sortie s = lancer(i, {entree, entree + ".mcf", argument});
        QCOMPARE(s.code, 0);
        QCOMPARE(QFile::exists(entree + ".mcf"), demonstration);
        QVERIFY(s.console.endsWith("Le programme va se terminer.\n"));
    }

    void demonstrationSansAppareil()
    {
        // A till with a real device configured: a demonstration run (DEMO as the port argument)
        // sends it nothing, and the same run with the port certifies on it.
        SimulateurMCF simulateur;
        const QString terminal = simulateur.terminal;
        QVERIFY2(terminal.startsWith('/'), qPrintable(terminal));
        Installation i;
        installer(i, QString("<app pays=\"B&#233;nin\" portMCF=\"%1\"/>").arg(terminal).toUtf8());
        const QString entree = i.chemin("f.csv");
        ecrire(entree, facture());

        const Sortie demo = lancer(i, {entree, entree + ".mcf", "DEMO"});
        QVERIFY2(demo.console.contains("Mode demonstration: aucun appareil n'est contacte.\n"),
                 qPrintable(demo.console));
        // No port is even looked for.
        QVERIFY2(!demo.console.contains("Aucun port de communication trouve.") &&
                     !demo.console.contains("Le port a ete ouvert.") && !demo.console.contains("Donnees:"),
                 qPrintable(demo.console));
        QCOMPARE(lire(entree + ".mcf"), ligneDemo("FAC-001"));
        const Sortie reelle = lancer(i, {entree, entree + ".mcf"}, {}, attenteMs(5000));
        QVERIFY2(reelle.console.contains("La facture a ete validee."), qPrintable(reelle.console));
        // Every frame the simulator received came from the second run.
        QCOMPARE(simulateur.trames(), int(reelle.console.count("Donnees:")));
        QCOMPARE(lignesDuRegistre(i.chemin("mcf.s3db")), 1);
    }

    void journalEcritLigneParLigne()
    {
        // A run blocked on a device that does not answer has already written everything it did:
        // the log is needed most when a run hangs or is killed.
        SimulateurMCF simulateur({"--sans-reponse", "C1"});
        const QString terminal = simulateur.terminal;
        QVERIFY2(terminal.startsWith('/'), qPrintable(terminal));

        Installation i;
        installer(i, "<app pays=\"B&#233;nin\"/>");
        const QString entree = i.chemin("f.csv");
        ecrire(entree, facture());
        QProcess moteur;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ORVANE_MCF_WAIT_MS", "60000");
        moteur.setProcessEnvironment(env);
        moteur.start(i.chemin("orvane-engine"), {entree, entree + ".mcf", terminal});
        QByteArray lu;
        QElapsedTimer chrono;
        chrono.start();
        while (!lu.contains("Donnees: \n") && chrono.elapsed() < attenteFauteMs) {
            moteur.waitForReadyRead(1000);
            lu += moteur.readAllStandardOutput();
        }
        QCOMPARE(moteur.state(), QProcess::Running);
        moteur.kill();
        moteur.waitForFinished();
        QVERIFY2(lu.contains("Base de donnee connectee.\n") &&
                     lu.contains("Verification de l'etat de la machine.\n"),
                 lu.constData());
    }

    void cacherLaConsole()
    {
        // "hide" detaches the engine after the settings are read: nothing more reaches the console,
        // and the run still goes to its end.
        Installation i;
        installer(i, "<app pays=\"B&#233;nin\" portMCF=\"DEMO\"/>");
        const QString entree = i.chemin("f.csv");
        ecrire(entree, facture());
        const Sortie s = lancer(i, {entree, entree + ".mcf", "0", "hide"});
        QCOMPARE(s.code, 0);
        QCOMPARE(s.console, "Fichier app.xml ouvert.\nFichier app.xml charge.\nFichier app.xml ferme.\n");
        QCOMPARE(lire(entree + ".mcf"), ligneDemo("FAC-001"));
    }

    void resultatPerimeEfface()
    {
        Installation i;
        installer(i, "<app pays=\"B&#233;nin\" portMCF=\"DEMO\"/>");
        const QString entree = i.chemin("absente.csv");
        ecrire(entree + ".mcf", "ancien resultat");
        const Sortie s = lancer(i, {entree});
        QCOMPARE(s.code, 0);
        QCOMPARE(s.console, "Fichier app.xml ouvert.\nFichier app.xml charge.\nFichier app.xml ferme.\n"
                            "Impossible d'ouvrir le fichier: " +
                                entree + "\nLe programme va se terminer.\n");
        QVERIFY(!QFile::exists(entree + ".mcf"));
        // No database access when the input cannot be read.
        QVERIFY(!QFile::exists(i.chemin("mcf.s3db")));
    }

    void factureDejaValideeReimprimee()
    {
        Installation i;
        installer(i, "<app pays=\"B&#233;nin\" portMCF=\"/dev/orvane-absent\"/>");
        installerRenduFactice(i);
        insererDansRegistre(i.chemin("mcf.s3db"),
                            {"O'Neil-42", "F;EM07;SIGNATURE0000000000000AB;123;20261208101010", "15",
                             "SIGNATURE0000000000000AB", "EM07", "14/15 FV", "20261208101010"});
        const QString entree = i.chemin("f.csv");
        ecrire(entree, "O'Neil-42;FV;Ali;7;E;Kofi;123;;;;;;ticket\nB;Pain;2;100;118\n");
        const Sortie s = lancer(i, {entree});
        QCOMPARE(s.code, 0);
        QVERIFY2(s.console.contains("Le fichier a ete ferme.\nCette facture est deja validee.\n\n"
                                    "La base de donnee a ete deconnecte.\n"),
                 qPrintable(s.console));
        QVERIFY(!s.console.contains("Traitement de la nouvelle facture"));
        QCOMPARE(lire(entree + ".mcf"),
                 QStringLiteral("O'Neil-42\t15\tSIGN-ATUR-E000-0000-0000-00AB\tEM07\t14/15 FV\t"
                                "08/12/2026 10:10:10\tF;EM07;SIGNATURE0000000000000AB;123;"
                                "20261208101010\t"));
        QCOMPARE(lignesDuRegistre(i.chemin("mcf.s3db")), 1);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(i.chemin("render-args.txt")), attenteFauteMs);
    }

    void appXmlAbsentOuIllisible_data()
    {
        QTest::addColumn<QByteArray>("appXml");
        QTest::addColumn<QString>("debut");
        QTest::newRow("missing: silent") << QByteArray() << "orvane-engine: Fichier d'entree ouvert.\n";
        QTest::newRow("not well-formed")
            << QByteArray("<app pays=")
            << "Fichier app.xml ouvert.\nImpossible de charger app.xml\n"
               "Fichier app.xml fermé.\norvane-engine: Fichier d'entree ouvert.\n";
    }

    void appXmlAbsentOuIllisible()
    {
        QFETCH(QByteArray, appXml);
        QFETCH(QString, debut);
        Installation i;
        installer(i, appXml);
        const QString entree = i.chemin("f.csv");
        ecrire(entree, facture());
        const Sortie s = lancer(i, {entree, entree + ".mcf", "DEMO"});
        QCOMPARE(s.code, 0);
        QVERIFY2(s.console.startsWith(debut), qPrintable(s.console));
        // Built-in values: Bénin (AIB) and the web path with no endpoint, so no result at all, and no
        // demonstration result either since the web path is selected.
        QVERIFY(s.console.contains("Taux AIB 5%"));
        QVERIFY(s.console.contains("Traitement de la nouvelle facture.\nConnexion au serveur\n"));
        QVERIFY(!QFile::exists(entree + ".mcf"));
        QCOMPARE(lignesDuRegistre(i.chemin("mcf.s3db")), 0);
    }

    void appXmlPresentMaisIllisible()
    {
        // An app.xml that is there but cannot be read is said, not taken for a missing one.
        Installation i;
        installer(i, QByteArray());
        QVERIFY(QDir(i.dossier.path()).mkpath("app.xml"));
        const QString entree = i.chemin("f.csv");
        ecrire(entree, facture());
        const Sortie s = lancer(i, {entree, entree + ".mcf", "DEMO"});
        QCOMPARE(s.code, 0);
        QVERIFY2(s.console.startsWith("Impossible de lire app.xml ("), qPrintable(s.console));
        QVERIFY(s.console.contains(").\norvane-engine: Fichier d'entree ouvert.\n"));
    }

    void encodageLatin1()
    {
        Installation i;
        installer(i, "<app pays=\"Niger\" portMCF=\"DEMO\" encodage=\"7\"/>");
        const QString entree = i.chemin("f.csv");
        ecrire(entree, "F-7;FV;Ren\xe9;1;E;C\xe9line;9;;;;\n");
        const Sortie s = lancer(i, {entree});
        QVERIFY2(s.console.contains("Utilisateur: René\nClient: Céline IFU: 9 , ISB non applicable\n\n"),
                 qPrintable(s.console));
        QVERIFY(lire(entree + ".mcf").startsWith("F-7\t"));
    }

    void lignesVidesSeulement()
    {
        Installation i;
        installer(i, "<app pays=\"B&#233;nin\" portMCF=\"DEMO\"/>");
        const QString entree = i.chemin("f.csv");
        ecrire(entree, "\n\r\n\n");
        const Sortie s = lancer(i, {entree});
        QVERIFY(s.console.contains("Base de donnee connectee.\nLe fichier a ete ferme.\n\nTraitement"));
        QCOMPARE(lire(entree + ".mcf"), ligneDemo(""));
    }

    void registreImpossibleAOuvrir()
    {
        // A register that cannot be opened or created says so; the demonstration result is still
        // written out, nothing is parsed.
        Installation i;
        installer(i, "<app pays=\"B&#233;nin\" portMCF=\"DEMO\"/>");
        QVERIFY(QDir(i.dossier.path()).mkpath("mcf.s3db"));
        const QString entree = i.chemin("f.csv");
        ecrire(entree, facture());
        const Sortie s = lancer(i, {entree});
        const QRegularExpression attendu(
            "^Fichier app.xml ouvert.\nFichier app.xml charge.\nFichier app.xml ferme.\n"
            "orvane-engine: Fichier d'entree ouvert.\nRegistre inutilisable \\([^\n]+\\): la facture n'est "
            "pas certifiee.\nLe fichier de sortie " +
            QRegularExpression::escape(entree) +
            ".mcf a ete bien enregistre.\nLa routine d'impression ne sera pas lancee.\n"
            "Le programme va se terminer.\n$");
        QVERIFY2(attendu.match(s.console).hasMatch(), qPrintable(s.console));
        QCOMPARE(lire(entree + ".mcf"), ligneDemo(""));
    }

    void registreInaccessible_data()
    {
        QTest::addColumn<QString>("registre");
        QTest::newRow("SQLite file that cannot be created") << QString();
        QTest::newRow("shared register: no server at that port")
            << QStringLiteral("postgresql://caisse@127.0.0.1:%1/magasin?sslmode=disable");
        QTest::newRow("shared register: not a PostgreSQL URI") << QStringLiteral("mysql://caisse@h/magasin");
    }

    void registreInaccessible()
    {
        // Nothing reaches the device when the register cannot be used, the password never shows, and
        // the run says why.
        QFETCH(QString, registre);
        SimulateurMCF appareil;
        QVERIFY(!appareil.terminal.isEmpty());
        Installation i;
        QTcpServer libre;
        QVERIFY(libre.listen(QHostAddress::LocalHost, 0));
        const quint16 port = libre.serverPort();
        libre.close();
        const QString adresse = registre.contains("%1") ? registre.arg(port) : registre;
        installer(i, QString("<app pays=\"B&#233;nin\" portMCF=\"%1\" registre=\"%2\" "
                             "motDePasseRegistre=\"Tr3s-secret\" delaiConnexionRegistre=\"2\"/>")
                         .arg(appareil.terminal, adresse)
                         .toUtf8());
        if (registre.isEmpty())
            QVERIFY(QDir(i.dossier.path()).mkpath("mcf.s3db"));
        const QString entree = i.chemin("f.csv");
        ecrire(entree, facture());
        const Sortie s = lancer(i, {entree});
        QCOMPARE(s.code, 0);
        QVERIFY2(s.console.contains(QRegularExpression(
                     "\nRegistre inutilisable \\([^\n]+\\): la facture n'est pas certifiee.\n")),
                 qPrintable(s.console));
        QVERIFY(!s.console.contains("Tr3s-secret"));
        QVERIFY(!s.console.contains("Traitement de la nouvelle facture"));
        QVERIFY(!QFile::exists(entree + ".mcf"));
        QCOMPARE(appareil.trames(), 0);
    }

    void rendeurAbsent()
    {
        Installation i;
        installer(i, "<app pays=\"B&#233;nin\" portMCF=\"DEMO\"/>");
        const QString entree = i.chemin("f.csv");
        ecrire(entree, facture());
        const Sortie s = lancer(i, {entree});
        QVERIFY(s.console.endsWith("a ete bien enregistre.\nImpossible de lancer la routine d'impression.\n"
                                   "Le programme va se terminer.\n"));
        QVERIFY(QFile::exists(entree + ".mcf"));
    }

    void serveurPhp()
    {
        // A stand-in PHP interpreter that records its arguments and waits to be stopped.
        Installation i;
        installer(i, QByteArray());
        QVERIFY(QDir(i.dossier.path()).mkpath("php"));
        const QString php = i.chemin("php/php");
        ecrire(php,
               "#!/bin/sh\necho \"$@\" > arguments.txt\ntrap 'exit 7' TERM\nwhile :; do sleep 0.05; done\n");
        QFile::setPermissions(php, QFile::permissions(php) | QFile::ExeOwner);

        QProcess serveur;
        serveur.setWorkingDirectory(i.dossier.path());
        serveur.start(i.chemin("orvane-engine"), {"--start-server"});
        QVERIFY(serveur.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            QFile::exists(i.chemin("php-server.pid")) && QFile::exists(i.chemin("arguments.txt")), attenteFauteMs);
        QCOMPARE(lire(i.chemin("arguments.txt")), QStringLiteral("-S 0.0.0.0:801 index.php\n"));

        const Sortie arret = lancer(i, {"--stop-server"});
        QCOMPARE(arret.code, 0);
        QCOMPARE(arret.console, QString());
        QVERIFY(serveur.waitForFinished(attenteFauteMs));
        QCOMPARE(serveur.exitCode(), 7);
        QCOMPARE(serveur.readAllStandardOutput(), QByteArray());
        QVERIFY(!QFile::exists(i.chemin("php-server.pid")));

        // Nothing recorded any more: nothing is stopped.
        QCOMPARE(lancer(i, {"--stop-server"}).code, 1);
    }

    void serveurPhpIntrouvable()
    {
        Installation i;
        installer(i, QByteArray());
        const Sortie s = lancer(i, {"--start-server", "hide"});
        QCOMPARE(s.code, 254); // -2, as the system reports an exit code
        QCOMPARE(s.console, QString());
    }
};

QTEST_GUILESS_MAIN(ExecutionMoteur)
#include "tst_moteur.moc"
