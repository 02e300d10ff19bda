#include "imagesqr.h"
#include "pngqr.h"
#include "qrsvg.h"

#include <attente.h>

#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QtTest>

// The QR code as SVG text and as the 200 x 200 monochrome PNG.
class ImagesQr : public QObject
{
    Q_OBJECT

    // Decodes a QR image with zbarimg, an implementation independent of ours.
    static QString decoder(const QString &png)
    {
        QProcess zbar;
        zbar.start("zbarimg", {"--quiet", "--raw", png});
        if (!zbar.waitForFinished(attenteFauteMs))
            return QStringLiteral("<zbarimg did not run>");
        return QString::fromUtf8(zbar.readAllStandardOutput()).trimmed();
    }

private slots:
    void formatSvg()
    {
        const auto svg = svgQr("F;EM01020304;DEMO5AB7CD9EF2GH4JK6LM8N;1234567890123;20200109135542");
        QVERIFY(svg);
        const QStringList lignes = svg->split('\n');
        QCOMPARE(lignes.size(), 7); // six lines, each ended by "\n"
        QCOMPARE(lignes.at(0), QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
        QCOMPARE(lignes.at(1), QStringLiteral("<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
                                              "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">"));
        // 69 bytes at level M need version 5: 37 modules, 45 with the border.
        QCOMPARE(lignes.at(2), QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" "
                                              "viewBox=\"0 0 45 45\" stroke=\"none\">"));
        QCOMPARE(lignes.at(3), QStringLiteral("\t<rect width=\"100%\" height=\"100%\" fill=\"#FFFFFF\"/>"));
        QVERIFY(lignes.at(4).startsWith("\t<path d=\"M4,4h1v1h-1z M5,4h1v1h-1z"));
        QVERIFY(lignes.at(4).endsWith("\" fill=\"#000000\"/>"));
        QCOMPARE(lignes.at(5), QStringLiteral("</svg>"));
        QCOMPARE(lignes.at(6), QString());

        // Every square is "Mx,yh1v1h-1z", separated by exactly one space, inside the border.
        const QString chemin = lignes.at(4).mid(10, lignes.at(4).size() - 10 - 18);
        const QStringList carres = chemin.split(' ');
        const QRegularExpression carre("^M(\\d+),(\\d+)h1v1h-1z$");
        for (const QString &c : carres) {
            const auto m = carre.match(c);
            QVERIFY2(m.hasMatch(), qPrintable(c));
            QVERIFY(m.captured(1).toInt() >= 4 && m.captured(1).toInt() < 41);
            QVERIFY(m.captured(2).toInt() >= 4 && m.captured(2).toInt() < 41);
        }
        // The finder pattern's top row: 7 dark modules from (4,4).
        QCOMPARE(carres.mid(0, 7).join(' '),
                 QStringLiteral("M4,4h1v1h-1z M5,4h1v1h-1z M6,4h1v1h-1z M7,4h1v1h-1z M8,4h1v1h-1z "
                                "M9,4h1v1h-1z M10,4h1v1h-1z"));
    }

    // The encoder against Qt's PNG reader: every pixel back, whatever the width's remainder by 8.
    void pngMonochromeRelu_data()
    {
        QTest::addColumn<int>("largeur");
        QTest::addColumn<int>("hauteur");
        QTest::newRow("1 x 1") << 1 << 1;
        QTest::newRow("9 x 3, a byte and one bit a row") << 9 << 3;
        QTest::newRow("16 x 2, whole bytes") << 16 << 2;
        QTest::newRow("200 x 200") << 200 << 200;
        QTest::newRow("333 x 7") << 333 << 7;
        QTest::newRow("1000 x 600, more than one stored block") << 1000 << 600;
    }

    void pngMonochromeRelu()
    {
        QFETCH(int, largeur);
        QFETCH(int, hauteur);
        for (const int motif : {0, 1, 2}) { // all white, all black, random
            std::vector<bool> noirs(static_cast<size_t>(largeur) * hauteur);
            QRandomGenerator hasard(largeur * 31 + hauteur);
            for (size_t i = 0; i < noirs.size(); ++i)
                noirs[i] = motif == 1 || (motif == 2 && hasard.bounded(2) == 1);
            const QImage image = QImage::fromData(pngMonochrome(noirs, largeur, hauteur), "PNG");
            QCOMPARE(image.size(), QSize(largeur, hauteur));
            QCOMPARE(image.depth(), 1);
            for (int y = 0; y < hauteur; ++y)
                for (int x = 0; x < largeur; ++x)
                    QVERIFY2((qGray(image.pixel(x, y)) == 0) == noirs[static_cast<size_t>(y) * largeur + x],
                             qPrintable(QStringLiteral("motif %1, pixel %2,%3").arg(motif).arg(x).arg(y)));
        }
    }

    // The PNG is the SVG's drawing: drawn by Qt's SVG renderer with antialiasing and thresholded
    // at mid-grey, the same image comes out, except for pixels Qt itself draws within a few grey
    // levels of the threshold (half-covered corners, where its edge rounding decides).
    void pngCommeLeDessinDuSvg_data()
    {
        QTest::addColumn<QString>("texte");
        QTest::newRow("1 letter, 29 modules") << "x";
        QTest::newRow("device QR text, 45 modules")
            << "F;EM01020304;DEMO5AB7CD9EF2GH4JK6LM8N;1234567890123;20200109135542";
        QTest::newRow("web QR text, 49 modules")
            << "https://sygmef.impots.bj/invoice/verify?code="
               "TEST-ABCD-EFGH-IJKL-MNOP-QRST&nim=ED04000123&date=20261208";
        QTest::newRow("600 letters, 81 modules") << QString(600, 'a');
    }

    void pngCommeLeDessinDuSvg()
    {
        QFETCH(QString, texte);
        const std::optional<ModulesQr> qr = modulesQr(texte);
        QVERIFY(qr);
        QSvgRenderer rendu(svgQr(*qr).toUtf8());
        QImage dessin(200, 200, QImage::Format_RGB32);
        dessin.fill(Qt::white);
        {
            QPainter peintre(&dessin);
            rendu.render(&peintre, QRectF(0, 0, 200, 200));
        }
        const QImage png = QImage::fromData(pngQr(*qr), "PNG");
        QCOMPARE(png.size(), QSize(200, 200));
        int douteux = 0;
        for (int y = 0; y < 200; ++y) {
            for (int x = 0; x < 200; ++x) {
                const int gris = qGray(dessin.pixel(x, y));
                const bool noirPng = qGray(png.pixel(x, y)) == 0;
                if (noirPng == (gris < 128))
                    continue;
                QVERIFY2(gris >= 120 && gris <= 135,
                         qPrintable(QStringLiteral("pixel %1,%2: grey %3").arg(x).arg(y).arg(gris)));
                ++douteux;
            }
        }
        QVERIFY2(douteux <= 200 * 200 / 100, qPrintable(QString::number(douteux)));
    }

    void texteTropLong()
    {
        QVERIFY(!svgQr(QString(8000, 'x')));
        QTemporaryDir dossier;
        const QString entree = dossier.filePath("f.csv");
        QVERIFY(!ecrireImagesQr(QString(8000, 'x'), entree));
        QVERIFY(!QFile::exists(entree + ".svg"));
        QVERIFY(!QFile::exists(entree + ".png"));
    }

    void imagesLisibles_data()
    {
        QTest::addColumn<QString>("texte");
        QTest::newRow("device QR text")
            << "F;EM01020304;DEMO5AB7CD9EF2GH4JK6LM8N;1234567890123;20200109135542";
        QTest::newRow("web QR text, long") << "https://sygmef.impots.bj/invoice/verify?code="
                                              "TEST-ABCD-EFGH-IJKL-MNOP-QRST&nim=ED04000123&date=20261208";
        QTest::newRow("accented UTF-8") << "Facture réglée — café";
    }

    void imagesLisibles()
    {
        QFETCH(QString, texte);
        QTemporaryDir dossier;
        const QString entree = dossier.filePath("facture.csv");
        QVERIFY(ecrireImagesQr(texte, entree));
        QFile svg(entree + ".svg");
        QVERIFY(svg.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(svg.readAll()), *svgQr(texte));

        const QImage png(entree + ".png");
        QCOMPARE(png.size(), QSize(200, 200));
        QVERIFY(png.depth() == 1);
        QCOMPARE(decoder(entree + ".png"), texte);
    }

    void remplaceUneImagePrecedente()
    {
        QTemporaryDir dossier;
        const QString entree = dossier.filePath("facture.csv");
        QVERIFY(ecrireImagesQr("premier", entree));
        QVERIFY(ecrireImagesQr("second", entree));
        QCOMPARE(decoder(entree + ".png"), QStringLiteral("second"));
    }

    void echecEffaceLesImagesPrecedentes()
    {
        QTemporaryDir dossier;
        const QString entree = dossier.filePath("facture.csv");
        QVERIFY(ecrireImagesQr("facture precedente", entree));
        QVERIFY(QFile::exists(entree + ".png"));
        QVERIFY(!ecrireImagesQr(QString(8000, 'x'), entree));
        QVERIFY(!QFile::exists(entree + ".svg"));
        QVERIFY(!QFile::exists(entree + ".png"));
    }

    void dossierAbsent()
    {
        QTemporaryDir dossier;
        const QString entree = dossier.filePath("absent/facture.csv");
        QVERIFY(!ecrireImagesQr("texte", entree));
        QVERIFY(!QFile::exists(entree + ".png"));
    }
};

QTEST_MAIN(ImagesQr)
#include "tst_imagesqr.moc"
