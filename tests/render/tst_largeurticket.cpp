#include "outilsparalleles.h"
#include "pdfmots.h"

#include <dessinticket.h>
#include <document.h>
#include <lecturefacture.h>
#include <parametres.h>

#include <QPrinter>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

// The ticket on an 80 mm roll: PDFs drawn by the renderer's own ticket drawing, read back with
// pdftotext's word boxes.
class LargeurTicket : public QObject
{
    Q_OBJECT

private slots:
    void surLeRouleau_data();
    void surLeRouleau();
};

namespace {

Invoice lire(const QString &entree, const ParametresRendu &p)
{
    QString copie = entree;
    QTextStream flux(&copie);
    return lireFacture(flux, {dispositionEntete(p.apiVersion), p.pays, true});
}

const QString designation80 =
    QStringLiteral("Réfrigérateur professionnel double porte inox avec groupe froid ventilé et serrure");

// x of every "|" of each printed line (words of one baseline, as pdftotext may cut a line at wide
// gaps), the font being fixed-pitch.
QList<QList<double>> barresParLigne(const PagesPdf &pages)
{
    QMap<int, QList<double>> parHauteur; // yMin in tenths of a point
    for (const MotPdf &m : pages.mots) {
        const double chasse = (m.xMax - m.xMin) / m.texte.size();
        QList<double> &x = parHauteur[qRound(m.yMin * 10)];
        for (qsizetype i = 0; i < m.texte.size(); ++i) {
            if (m.texte.at(i) == QLatin1Char('|'))
                x.append(m.xMin + i * chasse);
        }
    }
    return parHauteur.values();
}

} // namespace

void LargeurTicket::surLeRouleau_data()
{
    QTest::addColumn<QString>("reglages");
    QTest::addColumn<QString>("articles");
    QTest::addColumn<double>("largeurPapierMm");

    const QString base =
        "pays=\"Bénin\" entreprise=\"Boulangerie du Port\" message=\"Merci de votre visite et à "
        "bientôt dans nos boutiques de Cotonou, Porto-Novo et Parakou\"";
    const QString longues =
        "B;" + designation80 + ";2;450000;531000\nA;" + designation80 + " B;1;1500;1500\n";
    const QString millions = "B;" + designation80 + ";12;4250000;5015000\nA;Eau;3;300;300\nB;" +
                             designation80 + " C;1.5;12500000;14750000\n";
    QTest::newRow("80-character designations") << base << longues << 80.0;
    QTest::newRow("80-character designations, amounts in the millions") << base << millions << 80.0;
    QTest::newRow("amounts in the millions at 10 points: amounts on their own line")
        << base + " fontSize=\"10\"" << millions << 80.0;
    QTest::newRow("space saving") << base + " economieEspace=\"1\"" << millions << 80.0;
    QTest::newRow("58 mm roll (48 mm printable)") << base + " largeurTicket=\"48\"" << millions << 56.0;
}

// The PDF page is the roll's width, no word goes past its printable width, and the "|" of the
// header and of every item line stand at the same three places.
void LargeurTicket::surLeRouleau()
{
    QFETCH(QString, reglages);
    QFETCH(QString, articles);
    QFETCH(double, largeurPapierMm);

    const ParametresRendu p = parametresRendu(analyserParametres(("<app " + reglages + "/>").toUtf8()));
    const Invoice facture =
        lire("T-1;FV;Awa;7;E;Kofi;123;Cotonou;;;;;ticket-pdf-silent;08/12/2026;;0;;;;\n" + articles, p);
    const QFont police = policeTicket(p.fontName, p.fontSize);
    const int caracteres = caracteresParLigne(police, p.largeurTicket);
    const QString texte =
        construireDocument(facture, p, std::nullopt, QString(), Variante::Ticket, caracteres);
    for (const QString &ligne : texte.split('\n'))
        QVERIFY2(ligne.size() <= caracteres,
                 qPrintable(QString("%1 > %2: [%3]").arg(ligne.size()).arg(caracteres).arg(ligne)));

    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QString pdf = dossier.filePath("ticket.pdf");
    {
        QPrinter imprimante(QPrinter::HighResolution);
        imprimante.setOutputFormat(QPrinter::PdfFormat);
        imprimante.setOutputFileName(pdf);
        ajusterPageTicketPdf(imprimante, texte, police, QString(), p.largeurTicket);
        dessinerTicket(imprimante, texte, police, QString());
    }
    const PagesPdf pages = lirePagesPdf(lancerEnParallele({{"pdftotext", "-bbox-layout", pdf, "-"}}).first());
    QCOMPARE(pages.pages.size(), 1);
    const double pointsParMm = 72 / 25.4;
    QVERIFY2(qAbs(pages.pages.first().width() - largeurPapierMm * pointsParMm) < 1,
             qPrintable(QString("page %1 mm wide").arg(pages.pages.first().width() / pointsParMm)));
    const double bordDroit = (margeTicketMm + p.largeurTicket) * pointsParMm + 0.5;
    for (const MotPdf &m : pages.mots)
        QVERIFY2(m.xMax <= bordDroit,
                 qPrintable(QString("\"%1\" ends at %2 mm").arg(m.texte).arg(m.xMax / pointsParMm)));

    // The header and the item lines hold two or three "|" (the tax-group lines hold one, without
    // specific tax): their rules line up.
    QList<double> colonnes;
    int lignesAvecBarres = 0;
    const QStringList lignes = pages.lignes();
    for (const QList<double> &x : barresParLigne(pages)) {
        if (x.size() < 2)
            continue;
        ++lignesAvecBarres;
        for (double v : x) {
            bool connue = false;
            for (double c : colonnes)
                connue = connue || qAbs(c - v) < 0.5;
            if (!connue)
                colonnes.append(v);
        }
    }
    QVERIFY2(lignesAvecBarres >= 3, qPrintable(lignes.join('\n')));
    QVERIFY2(colonnes.size() <= 3,
             qPrintable(QString("rules at %1 places:\n").arg(colonnes.size()) + lignes.join('\n')));
}

QTEST_MAIN(LargeurTicket)
#include "tst_largeurticket.moc"
