#include <ecriturefichier.h>
#include <imagesqr.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

// Files other programs read are replaced, never written through a link planted at their path.
class EcritureFichier : public QObject
{
    Q_OBJECT

private:
    static QByteArray lire(const QString &chemin)
    {
        QFile f(chemin);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<absent>");
    }

private slots:
    void remplacement_data()
    {
        // What stands at the path before the write: nothing, a file, a link to a file outside, a link
        // to a missing file outside.
        QTest::addColumn<QString>("avant");
        QTest::newRow("nothing at the path") << "rien";
        QTest::newRow("older file replaced") << "fichier";
        QTest::newRow("link to another file is replaced, its target kept") << "lien";
        QTest::newRow("dangling link is replaced, its target not created") << "lienMort";
    }

    void remplacement()
    {
        QFETCH(QString, avant);
        QTemporaryDir dossier;
        QTemporaryDir ailleurs;
        const QString chemin = dossier.filePath("facture.csv.mcf");
        const QString cible = ailleurs.filePath("precieux");
        if (avant == "fichier")
            QVERIFY(QFile(chemin).open(QIODevice::WriteOnly));
        if (avant == "lien" || avant == "lienMort")
            QVERIFY(QFile::link(cible, chemin));
        if (avant == "lien") {
            QFile f(cible);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("ne pas toucher") > 0);
        }

        QVERIFY(remplacerFichier(chemin, "R1\t1\t"));
        QCOMPARE(lire(chemin), QByteArray("R1\t1\t"));
        QVERIFY(!QFileInfo(chemin).isSymLink());
        QCOMPARE(lire(cible), QByteArray(avant == "lien" ? "ne pas toucher" : "<absent>"));
        // Nothing else is left in the folder (no temporary file).
        QCOMPARE(QDir(dossier.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"facture.csv.mcf"});
    }

    void echec_data()
    {
        QTest::addColumn<QString>("relatif");
        QTest::newRow("missing folder") << "absent/facture.csv.mcf";
        QTest::newRow("path is a folder") << "dossier";
    }

    void echec()
    {
        QFETCH(QString, relatif);
        QTemporaryDir dossier;
        QVERIFY(QDir(dossier.path()).mkdir("dossier"));
        QVERIFY(!remplacerFichier(dossier.filePath(relatif), "x"));
        QCOMPARE(QDir(dossier.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"dossier"});
    }

    // The QR images of the engine and the renderer, with a link planted at either image's path.
    void imagesQrSansSuivreDeLien_data()
    {
        QTest::addColumn<QString>("suffixe");
        QTest::newRow("link at facture.csv.svg") << ".svg";
        QTest::newRow("link at facture.csv.png") << ".png";
    }

    void imagesQrSansSuivreDeLien()
    {
        QFETCH(QString, suffixe);
        QTemporaryDir dossier;
        QTemporaryDir ailleurs;
        const QString entree = dossier.filePath("facture.csv");
        const QString cible = ailleurs.filePath("precieux");
        {
            QFile f(cible);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("ne pas toucher") > 0);
        }
        QVERIFY(QFile::link(cible, entree + suffixe));
        QVERIFY(ecrireImagesQr("F;EM01;SIG;123;20200109135542", entree));
        QCOMPARE(lire(cible), QByteArray("ne pas toucher"));
        QVERIFY(!QFileInfo(entree + suffixe).isSymLink());
        QVERIFY(lire(entree + ".svg").startsWith("<?xml"));
        QVERIFY(lire(entree + ".png").startsWith("\x89PNG"));
    }
};

QTEST_MAIN(EcritureFichier)
#include "tst_ecriturefichier.moc"
