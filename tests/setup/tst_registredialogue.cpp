#include "dialog.h"
#include "facturesensuspens.h"

#include <clusterpostgres.h>
#include <registre.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

// The dialog's shared register: its "Tester" button connects and reports, never with the password,
// against a throw-away PostgreSQL server.
class RegistreDuDialogue : public QObject
{
    Q_OBJECT

    ClusterPostgres m_cluster;

    static quint16 portFerme()
    {
        QTcpServer libre;
        libre.listen(QHostAddress::LocalHost, 0);
        return libre.serverPort();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_cluster.demarrer(), qPrintable(m_cluster.erreur()));
        QVERIFY(m_cluster.executer("postgres", "create database vide"));
        QVERIFY(m_cluster.executer("postgres", "create database magasin"));
        Registre registre("creation");
        EmplacementRegistre e;
        e.adresse = m_cluster.adresse("magasin");
        e.motDePasse = ClusterPostgres::motDePasseAdministrateur();
        QVERIFY(registre.ouvrir(e));
    }

    void tester_data()
    {
        QTest::addColumn<QString>("adresse");
        QTest::addColumn<QString>("motDePasse");
        QTest::addColumn<QString>("attendu"); // a regular expression
        const QString admin = ClusterPostgres::motDePasseAdministrateur();
        QTest::newRow("empty: the local file") << ""
                                               << ""
                                               << "^Registre local: mcf.s3db à côté du moteur.$";
        QTest::newRow("register reachable")
            << m_cluster.adresse("magasin") << admin
            << "^Registre partagé joignable \\(postgresql://orvane_admin@127.0.0.1:\\d+/magasin\\): 0 "
               "facture\\(s\\) "
               "en suspens.$";
        QTest::newRow("database without a register: nothing created")
            << m_cluster.adresse("vide") << admin
            << "^Registre injoignable ou inutilisable: aucun registre dans";
        QTest::newRow("wrong password") << m_cluster.adresse("magasin") << "Faux-Secret1"
                                        << "^Registre injoignable ou inutilisable: .*password";
        QTest::newRow("no server") << QString("postgresql://caisse@127.0.0.1:%1/magasin").arg(portFerme())
                                   << "Faux-Secret1"
                                   << "^Registre injoignable ou inutilisable: ";
    }

    void tester()
    {
        QFETCH(QString, adresse);
        QFETCH(QString, motDePasse);
        QFETCH(QString, attendu);
        QTemporaryDir dossier;
        QFile parametres(dossier.filePath("app.xml"));
        QVERIFY(parametres.open(QIODevice::WriteOnly));
        parametres.write(QString("<app delaiConnexionRegistre=\"2\"/>").toUtf8());
        parametres.close();
        Dialog dialogue(dossier.filePath("app.xml"));
        auto *champ = dialogue.findChild<QLineEdit *>("registre");
        auto *secret = dialogue.findChild<QLineEdit *>("motDePasseRegistre");
        auto *bouton = dialogue.findChild<QPushButton *>("testerRegistre");
        auto *etat = dialogue.findChild<QLabel *>("etatRegistre");
        QVERIFY(champ && secret && bouton && etat);
        QCOMPARE(bouton->text(), QString("Tester"));
        QCOMPARE(secret->echoMode(), QLineEdit::Password);
        champ->setText(adresse);
        secret->setText(motDePasse);
        bouton->click();
        QVERIFY2(QRegularExpression(attendu).match(etat->text()).hasMatch(), qPrintable(etat->text()));
        if (!motDePasse.isEmpty())
            QVERIFY(!etat->text().contains(motDePasse));
        QCOMPARE(m_cluster.valeur("vide",
                                  "select count(*) from information_schema.tables where table_schema = "
                                  "'public'"),
                 QString("0"));
    }
};

QTEST_MAIN(RegistreDuDialogue)
#include "tst_registredialogue.moc"
