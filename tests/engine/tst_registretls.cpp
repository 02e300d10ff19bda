#include "attente.h"
#include "clusterpostgres.h"
#include "programmesuivi.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The shared register reached over TLS: a throw-away server with ssl=on and a certificate that an
// authority of the test's own signed for 127.0.0.1, and the real engine certifying on its device
// simulator or on the e-MCF double. A connection that checks the server against that authority
// certifies; one that names another authority, or a host the certificate does not name, is refused
// as an unusable register, and nothing reaches the device or the service. Judged by the console, the
// frames and requests the simulators received, the result file, the register's rows and the server's
// log of encrypted connections.
class RegistreTls : public QObject
{
    Q_OBJECT

    QTemporaryDir m_certificats;
    QTemporaryDir m_caisse;
    ClusterPostgres m_cluster;
    std::unique_ptr<SimulateurMCF> m_appareil;
    CertificatLocal m_certificatDouble;
    std::unique_ptr<DoubleEmcf> m_double;

    bool openssl(const QStringList &arguments)
    {
        QProcess p;
        p.setWorkingDirectory(m_certificats.path());
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("openssl"), arguments);
        const bool fini = p.waitForFinished(attenteFauteMs);
        if (!fini || p.exitCode() != 0)
            qWarning().noquote() << "openssl" << arguments.join(' ') << ":" << p.readAll();
        return fini && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    // A self-signed authority NOM.pem with its key NOM.key.
    bool autorite(const QString &nom)
    {
        return openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-keyout", nom + ".key",
                        "-out", nom + ".pem", "-subj", "/CN=Autorite de test " + nom, "-addext",
                        "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign"});
    }

    QString certificat(const QString &nom) const { return m_certificats.filePath(nom); }

    static void ecrire(const QString &chemin, const QByteArray &contenu)
    {
        QFile f(chemin);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(contenu);
    }

    int lignesFacture(const QString &reference)
    {
        return m_cluster.valeur("magasin", "select count(*) from facture where reference = '" + reference + "'")
            .toInt();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_certificats.isValid() && m_caisse.isValid());
        // The server's certificate, signed by "ac", names 127.0.0.1 and nothing else.
        QVERIFY(autorite("ac"));
        QVERIFY(autorite("autre-ac"));
        ecrire(certificat("extensions.cnf"), "subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\n");
        QVERIFY(openssl({"req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", "serveur.key", "-out",
                         "serveur.csr", "-subj", "/CN=127.0.0.1"}));
        QVERIFY(openssl({"x509", "-req", "-in", "serveur.csr", "-CA", "ac.pem", "-CAkey", "ac.key",
                         "-CAcreateserial", "-days", "2", "-extfile", "extensions.cnf", "-out", "serveur.pem"}));
        QVERIFY2(m_cluster.activerTls(certificat("serveur.pem"), certificat("serveur.key")),
                 qPrintable(m_cluster.erreur()));
        QVERIFY2(m_cluster.demarrer(), qPrintable(m_cluster.erreur()));
        QVERIFY2(m_cluster.executer("postgres", "create database magasin"), qPrintable(m_cluster.erreur()));

        m_appareil = std::make_unique<SimulateurMCF>(QStringList{"--nim", "SIMT000001"});
        QVERIFY(!m_appareil->terminal.isEmpty());
        QVERIFY(m_certificatDouble.pret());
        m_double = std::make_unique<DoubleEmcf>(m_certificatDouble);
        QVERIFY(!m_double->url.isEmpty());
        QVERIFY(installerMoteur(m_caisse.path()));
    }

    void connexionVerifiee_data()
    {
        QTest::addColumn<bool>("enLigne");
        QTest::addColumn<QString>("hote");
        QTest::addColumn<QString>("parametres");
        QTest::addColumn<bool>("certifiee");
        const QString ac = "sslrootcert=" + certificat("ac.pem");
        const QString autre = "sslrootcert=" + certificat("autre-ac.pem");
        for (const bool enLigne : {false, true}) {
            const char *chemin = enLigne ? "e-MCF" : "device";
            QTest::addRow("%s: verify-full, the server's authority, its host", chemin)
                << enLigne << "127.0.0.1" << "sslmode=verify-full&" + ac << true;
            QTest::addRow("%s: verify-full, another authority", chemin)
                << enLigne << "127.0.0.1" << "sslmode=verify-full&" + autre << false;
            QTest::addRow("%s: verify-full, a host the certificate does not name", chemin)
                << enLigne << "localhost" << "sslmode=verify-full&" + ac << false;
            QTest::addRow("%s: verify-ca, another authority", chemin)
                << enLigne << "127.0.0.1" << "sslmode=verify-ca&" + autre << false;
        }
    }

    void connexionVerifiee()
    {
        QFETCH(bool, enLigne);
        QFETCH(QString, hote);
        QFETCH(QString, parametres);
        QFETCH(bool, certifiee);
        static int numero = 0;
        const QString reference = QStringLiteral("TLS-%1").arg(++numero);

        QString adresse = m_cluster.adresse("magasin", ClusterPostgres::administrateur(), parametres);
        adresse.replace("@127.0.0.1:", "@" + hote + ":");
        ecrire(m_caisse.filePath("app.xml"),
               QStringLiteral("<app pays=\"B&#233;nin\" portMCF=\"%1\" jeton=\"%2\" registre=\"%3\" "
                              "motDePasseRegistre=\"%4\"/>")
                   .arg(enLigne ? QString() : m_appareil->terminal, enLigne ? "jeton-de-test" : "",
                        adresse.toHtmlEscaped(), ClusterPostgres::motDePasseAdministrateur())
                   .toUtf8());
        const QString entree = m_caisse.filePath(reference + ".csv");
        ecrire(entree, (reference + ";FV;Ali;7;E;Kofi;123;Cotonou;97;;B;;\nB;Pain;2;100;118\n").toUtf8());

        const int tramesAvant = m_appareil->trames();
        const int requetesAvant = int(m_double->requetes().size());
        const qsizetype journalAvant = m_cluster.journal().size();
        QProcess moteur;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ORVANE_MCF_WAIT_MS", "1500");
        const QMap<QString, QString> versDouble = m_double->environnement();
        for (auto it = versDouble.begin(); it != versDouble.end(); ++it)
            env.insert(it.key(), it.value());
        moteur.setProcessEnvironment(env);
        moteur.setWorkingDirectory(m_caisse.path());
        moteur.start(m_caisse.filePath("orvane-engine"), {entree, entree + ".mcf"});
        QVERIFY(moteur.waitForFinished(attenteFauteMs));
        const QString console = QString::fromUtf8(moteur.readAllStandardOutput());
        const int trames = m_appareil->trames() - tramesAvant;
        const int requetes = int(m_double->requetes().size()) - requetesAvant;
        // The server's log of this run: one "connection received" line per connection over TCP, and
        // "SSL enabled" on the line of each encrypted one.
        const QString journal = m_cluster.journal().mid(journalAvant);
        const int connexions = int(journal.count("connection received: host=127.0.0.1"));
        const int chiffrees = int(journal.count("SSL enabled"));

        if (certifiee) {
            QVERIFY2(QFile::exists(entree + ".mcf"), qPrintable(console));
            QCOMPARE(lignesFacture(reference), 1);
            QVERIFY2(enLigne ? requetes > 0 : trames > 0, qPrintable(console));
            // Every connection of the run was encrypted, and there was at least one.
            QVERIFY2(connexions > 0 && chiffrees == connexions, qPrintable(journal));
            QVERIFY2(!console.contains("Registre inutilisable"), qPrintable(console));
        } else {
            QVERIFY2(console.contains("Registre inutilisable ("), qPrintable(console));
            QCOMPARE(trames, 0);
            QCOMPARE(requetes, 0);
            QVERIFY2(!QFile::exists(entree + ".mcf"), qPrintable(console));
            QCOMPARE(lignesFacture(reference), 0);
            QCOMPARE(m_cluster.valeur("magasin", "select count(*) from certification where reference = '" +
                                                     reference + "'"),
                     QString("0"));
        }
        QVERIFY2(!console.contains(ClusterPostgres::motDePasseAdministrateur()), qPrintable(console));
    }
};

QTEST_GUILESS_MAIN(RegistreTls)
#include "tst_registretls.moc"
