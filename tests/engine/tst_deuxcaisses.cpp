#include "clusterpostgres.h"
#include "programmesuivi.h"

#include <registre.h>

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
        // Invoices the device validated (a device in Bénin is not told the reference).
        int validations() const
        {
            return int(appareil->lignes().filter(QRegularExpression("^facture validee ")).size());
        }
    };

    ClusterPostgres m_cluster;
    Caisse m_a, m_b;
    static constexpr const char *motDePasseCaisse = "Caisse-Pa55";

    static QString facture(const QString &reference, const QString &type = "FV",
                           const QString &originale = QString())
    {
        return reference + ";" + type + ";Ali;7;E;Kofi;123;Cotonou;97;;B;" + originale + ";\nB;Pain;2;100;118\n";
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

    void installer(Caisse &caisse, const QString &nim)
    {
        QVERIFY(caisse.dossier.isValid());
        caisse.appareil = std::make_unique<SimulateurMCF>(QStringList{"--nim", nim});
        QVERIFY(!caisse.appareil->terminal.isEmpty());
        QVERIFY(installerMoteur(caisse.dossier.path()));
        ecrire(caisse.chemin("app.xml"),
               QString("<app pays=\"B&#233;nin\" portMCF=\"%1\" registre=\"%2\" motDePasseRegistre=\"%3\"/>")
                   .arg(caisse.appareil->terminal, m_cluster.adresse("magasin", "orvane_caisse"),
                        motDePasseCaisse));
    }

    static std::unique_ptr<QProcess> lancer(const Caisse &caisse, const QString &nom)
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ORVANE_MCF_WAIT_MS", "1500");
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(caisse.dossier.path());
        const QString entree = caisse.chemin(nom);
        p->start(caisse.chemin("orvane-engine"), {entree, entree + ".mcf"});
        return p;
    }

    static QString terminer(QProcess &p)
    {
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
        }
        return QString::fromUtf8(p.readAllStandardOutput());
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
        // role what the README gives it, and nothing more.
        {
            Registre proprietaire("proprietaire");
            EmplacementRegistre e;
            e.adresse = m_cluster.adresse("magasin");
            e.motDePasse = ClusterPostgres::motDePasseAdministrateur();
            QVERIFY2(proprietaire.ouvrir(e), qPrintable(proprietaire.erreur()));
        }
        QFile role(QStringLiteral(ORVANE_TEST_DATA_DIR "/../../examples/role-caisse.sql"));
        QVERIFY(role.open(QIODevice::ReadOnly));
        QVERIFY2(m_cluster.executer("magasin", QString::fromUtf8(role.readAll())), qPrintable(m_cluster.erreur()));
        QVERIFY(m_cluster.executer("magasin", QString("alter role orvane_caisse password '%1'").arg(motDePasseCaisse)));
        installer(m_a, "SIMA000001");
        installer(m_b, "SIMB000002");
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
            psql.start("psql", {"-X", "-q", "-v", "ON_ERROR_STOP=1", m_cluster.adresse("magasin", "orvane_caisse"),
                                "-c", sql});
            QVERIFY(psql.waitForFinished(20000));
            const QString erreur = QString::fromUtf8(psql.readAllStandardError());
            QVERIFY2(psql.exitCode() != 0, qPrintable(sql));
            QVERIFY2(erreur.contains("permission denied") || erreur.contains("must be owner"), qPrintable(erreur));
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
                const bool certifiee = console.contains("Insertion de la facture dans la base de donnees reussie.");
                const bool reimprimee = console.contains("Cette facture est deja validee.\n");
                const bool tenue = console.contains("est en cours de certification par une autre execution");
                QVERIFY2(int(certifiee) + int(reimprimee) + int(tenue) == 1, qPrintable(console.right(900)));
                QVERIFY2(!console.contains("Registre inutilisable"), qPrintable(console.right(900)));
                issues << (certifiee ? "C" : reimprimee ? "R" : "T");
            }
            QCOMPARE(valeur("select count(*) from facture where reference = '" + reference + "'"), QString("1"));
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
