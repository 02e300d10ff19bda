#include "arretserveur.h"
#include "dialog.h"
#include "repondeur.h"

#include <attente.h>

#include <QDialogButtonBox>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

// The stop button asks first, then stops the background server and says what it did. Outside
// Windows it runs the engine's own --stop-server from the installation folder, which stops the PHP
// server recorded in php-server.pid there; the engine tested is a copy of the real one.
class TestArretServeur : public QObject
{
    Q_OBJECT

private slots:
    void arretDepuisLeDialogue_data();
    void arretDepuisLeDialogue();
    void commandeParPlateforme();
};

namespace {

#ifndef Q_OS_WIN
// A stand-in for the PHP server: a shell waiting on its input (no child process), whose command
// line ends with the arguments the engine gives php.
bool demarrerServeurFactice(QProcess &serveur)
{
    serveur.start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"), QStringLiteral("read x"), QStringLiteral("-S"),
                   QStringLiteral("0.0.0.0:801"), QStringLiteral("index.php")});
    return serveur.waitForStarted();
}
#endif

} // namespace

void TestArretServeur::arretDepuisLeDialogue_data()
{
    QTest::addColumn<bool>("confirme");
    QTest::addColumn<QString>("installation"); // "moteur": the engine is there; "vide": it is not
    QTest::addColumn<QString>("pid");          // "serveur": php-server.pid names the stand-in
    QTest::addColumn<bool>("serveurArrete");
    QTest::addColumn<QString>("message"); // text of the result box, empty when none is shown

    QTest::newRow("confirmed, server running: stopped and said")
        << true << "moteur"
        << "serveur" << true << "Le serveur MCF a été arrêté.";
    QTest::newRow("declined: nothing run, nothing said") << false << "moteur"
                                                         << "serveur" << false << "";
    QTest::newRow("confirmed, no server recorded: none found")
        << true << "moteur"
        << "" << false << "Aucun serveur MCF n'était en cours d'exécution.";
    QTest::newRow("confirmed, pid of another program: left alone")
        << true << "moteur"
        << "autre" << false << "Aucun serveur MCF n'était en cours d'exécution.";
    QTest::newRow("confirmed, engine missing: cannot stop")
        << true << "vide"
        << "serveur" << false << "Impossible d'arrêter le serveur MCF";
}

void TestArretServeur::arretDepuisLeDialogue()
{
#ifdef Q_OS_WIN
    QSKIP("runs the engine's --stop-server, which Windows replaces by taskkill");
#else
    QFETCH(bool, confirme);
    QFETCH(QString, installation);
    QFETCH(QString, pid);
    QFETCH(bool, serveurArrete);
    QFETCH(QString, message);

    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    if (installation == "moteur")
        QVERIFY(QFile::copy(ORVANE_BIN_DIR "/orvane-engine", dossier.filePath("orvane-engine")));

    QProcess serveur;
    QVERIFY(demarrerServeurFactice(serveur));
    QProcess autre; // a live process that is not the server
    autre.start("/bin/sh", {"-c", "read x"});
    QVERIFY(autre.waitForStarted());
    if (!pid.isEmpty()) {
        QFile fichier(dossier.filePath("php-server.pid"));
        QVERIFY(fichier.open(QIODevice::WriteOnly));
        fichier.write(QByteArray::number((pid == "serveur" ? serveur : autre).processId()));
    }

    Dialog dialogue(dossier.filePath("app.xml"));
    dialogue.definirDossierInstallation(dossier.path());
    dialogue.show();
    QList<Repondeur::Reponse> reponses{{"confirmationArret", confirme ? "Oui" : "Non"}};
    if (!message.isEmpty())
        reponses.append(Repondeur::Reponse{"resultatArret", "OK"});
    Repondeur repondeur(reponses);
    dialogue.findChild<QPushButton *>("stopBtn")->click();

    QStringList attendues{"confirmationArret"};
    if (!message.isEmpty())
        attendues << "resultatArret";
    QCOMPARE(repondeur.boitesVues, attendues);
    QCOMPARE(repondeur.inattendues, QStringList{});
    QVERIFY2(repondeur.textesVus.value(0).contains("Arrêter le serveur MCF ?"),
             qPrintable(repondeur.textesVus.value(0)));
    if (!message.isEmpty())
        QVERIFY2(repondeur.textesVus.value(1).startsWith(message), qPrintable(repondeur.textesVus.value(1)));
    QVERIFY(dialogue.isVisible());

    // The engine has ended when the result is shown; the server may already be reaped.
    if (serveurArrete) {
        QTRY_COMPARE_WITH_TIMEOUT(serveur.state(), QProcess::NotRunning, attenteFauteMs);
        QCOMPARE(serveur.exitStatus(), QProcess::CrashExit);
    } else {
        QVERIFY2(!serveur.waitForFinished(200), "the server was stopped");
    }
    QVERIFY2(autre.state() == QProcess::Running, "another process was stopped");
    for (QProcess *p : {&serveur, &autre}) {
        if (p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished();
        }
    }
#endif
}

// On Windows the server program is ended by its name; elsewhere the engine of the installation
// folder stops what it started.
void TestArretServeur::commandeParPlateforme()
{
    const CommandeSysteme commande = commandeArretServeur("/opt/orvane");
#ifdef Q_OS_WIN
    QCOMPARE(commande.programme, QString("taskkill"));
    QCOMPARE(commande.arguments, QStringList({"/IM", "orvane-server.exe", "/F"}));
    QCOMPARE(issueArret(128), IssueArret::AucunProcessus);
    QCOMPARE(issueArret(1), IssueArret::Impossible);
#else
    QCOMPARE(commande.programme, QString("/opt/orvane/orvane-engine"));
    QCOMPARE(commande.arguments, QStringList({"--stop-server"}));
    QCOMPARE(issueArret(1), IssueArret::AucunProcessus);
#endif
    QCOMPARE(issueArret(0), IssueArret::Arrete);
}

QTEST_MAIN(TestArretServeur)
#include "tst_arretserveur.moc"
