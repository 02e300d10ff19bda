#include "dialog.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The stop button ends every process of exactly the server's executable name, and only those.
// The stand-ins are copies of `sleep` under the names tested; a real orvane-server running on this
// machine would be stopped too, as the button does.
class TestArretServeur : public QObject
{
    Q_OBJECT

private slots:
    void arretParNom_data();
    void arretParNom();
};

void TestArretServeur::arretParNom_data()
{
    QTest::addColumn<QStringList>("noms");    // executables started, each running a long sleep
    QTest::addColumn<QStringList>("arretes"); // those the button must end

    QTest::newRow("one server") << QStringList{"orvane-server"} << QStringList{"orvane-server"};
    QTest::newRow("two servers") << QStringList{"orvane-server", "orvane-server"}
                                 << QStringList{"orvane-server", "orvane-server"};
    QTest::newRow("longer and shorter names untouched")
        << QStringList{"orvane-server", "orvane-server2", "orvane-serve", "xorvane-server"}
        << QStringList{"orvane-server"};
    QTest::newRow("no server running") << QStringList{"orvane-serveur"} << QStringList{};
}

void TestArretServeur::arretParNom()
{
#ifdef Q_OS_WIN
    QSKIP("starts stand-in processes built from the POSIX sleep program");
#else
    QFETCH(QStringList, noms);
    QFETCH(QStringList, arretes);

    const QString sommeil = QStandardPaths::findExecutable("sleep");
    QVERIFY(!sommeil.isEmpty());
    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());

    std::vector<std::unique_ptr<QProcess>> processus;
    for (const QString &nom : noms) {
        const QString programme = dossier.filePath(nom);
        if (!QFile::exists(programme))
            QVERIFY(QFile::copy(sommeil, programme));
        auto p = std::make_unique<QProcess>();
        p->start(programme, {"30"});
        QVERIFY2(p->waitForStarted(), qPrintable(p->errorString()));
        processus.push_back(std::move(p));
    }

    Dialog dialogue(dossier.filePath("app.xml"));
    dialogue.show();
    dialogue.findChild<QPushButton *>("stopBtn")->click();

    // The command has ended when the slot returns; the dialog stays open.
    QVERIFY(dialogue.isVisible());
    for (size_t i = 0; i < processus.size(); ++i) {
        QProcess &p = *processus[i];
        const bool doitEtreArrete = arretes.contains(noms[i]);
        if (doitEtreArrete) {
            QVERIFY2(p.waitForFinished(5000), qPrintable(noms[i] + " still running"));
            QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        } else {
            QVERIFY2(!p.waitForFinished(100), qPrintable(noms[i] + " was stopped"));
        }
    }
    for (auto &p : processus) {
        if (p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished();
        }
    }
#endif
}

QTEST_MAIN(TestArretServeur)
#include "tst_arretserveur.moc"
