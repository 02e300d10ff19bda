#include "lecturesrendu.h"
#include "outilsparalleles.h"
#include "pdfmots.h"
#include "resultatsexemple.h"

#include <dessinticket.h>
#include <document.h>
#include <etatfiscal.h>
#include <lecturefacture.h>
#include <parametres.h>

#include <QPrinter>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

// The ticket on its roll: PDFs drawn by the renderer's own ticket drawing, read back with
// pdftotext's word boxes, and with pdftoppm and zbarimg as a thermal printer would print them.
class LargeurTicket : public QObject
{
    Q_OBJECT

private slots:
    void surLeRouleau_data();
    void surLeRouleau();
    void qrA203ppp_data();
    void qrA203ppp();
    void pairesEntieres();
    void marqueNonCertifiee_data();
    void marqueNonCertifiee();
};

namespace {

// The ticket of invoice T-1 (`entete` holds the header's withholding code) with `articles` and
// the result line `ligneResultat` (null: none), drawn into `pdf` as the renderer draws a PDF ticket;
// the text of the ticket is returned.
QString imprimerTicket(const ParametresRendu &p, const QString &articles, const QString &ligneResultat,
                       const QString &pdf, const QString &retenue = {})
{
    const Invoice facture = lire("T-1;FV;Awa;7;E;Kofi;123;Cotonou;;;" + retenue +
                                     ";;ticket-pdf-silent;08/12/2026;;0;;;;\n" + articles,
                                 p);
    const QFont police = policeTicket(p.fontName, p.fontSize);
    const std::optional<ResultatLu> r = resultat(ligneResultat);
    const EtatFiscal etat = etatFiscal(r, facture.reference);
    const QString texte =
        construireDocument(facture, p, r, Variante::Ticket, caracteresParLigne(police, p.largeurTicket));
    const ContenuTicket ticket{texte, police,
                               etat.certification == Certification::NonCertifiee ? QString() : r->qrcode,
                               mention(etat.certification).lignes};
    QPrinter imprimante(QPrinter::HighResolution);
    imprimante.setOutputFormat(QPrinter::PdfFormat);
    imprimante.setOutputFileName(pdf);
    ajusterPageTicketPdf(imprimante, ticket, p.largeurTicket);
    if (!dessinerTicket(imprimante, ticket))
        return {};
    return texte;
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

    const ParametresRendu p = parametres(reglages);
    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QString pdf = dossier.filePath("ticket.pdf");
    const QString texte = imprimerTicket(p, articles, ligneCertifiee("T-1"), pdf);
    const int caracteres = caracteresParLigne(policeTicket(p.fontName, p.fontSize), p.largeurTicket);
    for (const QString &ligne : texte.split('\n'))
        QVERIFY2(ligne.size() <= caracteres,
                 qPrintable(QString("%1 > %2: [%3]").arg(ligne.size()).arg(caracteres).arg(ligne)));

    const PagesPdf pages = lirePdf(pdf);
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

void LargeurTicket::qrA203ppp_data()
{
    QTest::addColumn<QString>("reglages");
    QTest::addColumn<int>("articles");

    const QString base = "pays=\"Bénin\" entreprise=\"Boulangerie du Port\" message=\"Merci\"";
    for (const int n : {1, 75, 90}) {
        QTest::addRow("%d items, 80 mm roll", n) << base << n;
        QTest::addRow("%d items, 58 mm roll", n) << base + " largeurTicket=\"48\"" << n;
    }
    QTest::newRow("90 items, 58 mm roll, space saving")
        << base + " largeurTicket=\"48\" economieEspace=\"1\"" << 90;
}

// The QR code of the ticket as a 203 dpi thermal printer prints it (1-bit, no grey): it reads back
// as the result file's QR text.
void LargeurTicket::qrA203ppp()
{
    QFETCH(QString, reglages);
    QFETCH(int, articles);

    QString lignes;
    for (int i = 1; i <= articles; ++i)
        lignes += QString("B;Article numéro %1 de la commande;%2;1250;1475\n").arg(i).arg(i % 7 + 1);
    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QString pdf = dossier.filePath("ticket.pdf");
    QVERIFY(!imprimerTicket(parametres(reglages), lignes, ligneCertifiee("T-1"), pdf).isEmpty());
    QCOMPARE(lirePdf(pdf).pages.size(), 1);
    QCOMPARE(codesQrA203ppp(pdf, dossier.filePath("ticket")), QStringList{texteQrCertifie});
}

// Pairs of a label and its amount stand whole on one printed line of a 58 mm roll, where the lines
// of the insurance split and the tax groups are too long and break between the pairs; a client
// named Kofi is found as written (no "fi" ligature in the PDF's text).
void LargeurTicket::pairesEntieres()
{
    const ParametresRendu p =
        parametres("pays=\"Bénin\" entreprise=\"Boulangerie du Port\" largeurTicket=\"48\"");
    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QString pdf = dossier.filePath("ticket.pdf");
    const QString texte = imprimerTicket(p, "B;Soin de longue durée;1;530000;625400;;0;0;60\n",
                                         ligneCertifiee("T-1"), pdf, "AIB5");
    const QStringList lignes = lirePdf(pdf).lignes();
    QVERIFY2(lignes.join(QLatin1Char('\n')).contains("Kofi"), qPrintable(lignes.join('\n')));
    const QStringList paires{"Total: HT [B] = 530 000",
                             "TVA [B] 18 % = 95 400",
                             "Total TTC: 625 400",
                             "AIB 5% : 26 500",
                             "Net à Payer: 651 900",
                             "HT: 318 000",
                             "TVA: 57 240",
                             "TTC: 375 240",
                             "AIB: 15 900",
                             "Net: 391 140",
                             "Net: 260 760",
                             "Vendeur: Awa | 7"};
    for (const QString &paire : paires) {
        bool entiere = false;
        for (const QString &ligne : lignes)
            entiere = entiere || ligne.contains(paire);
        QVERIFY2(entiere, qPrintable("\"" + paire + "\" is not whole on any line:\n" + lignes.join('\n') +
                                     "\n--- text:\n" + texte));
    }
}

void LargeurTicket::marqueNonCertifiee_data()
{
    QTest::addColumn<QString>("ligneResultat"); // null: no result file
    QTest::addColumn<QStringList>("marque");
    QTest::addColumn<bool>("qr");
    QTest::newRow("no result file") << QString() << QStringList{"FACTURE NON CERTIFIEE"} << false;
    QTest::newRow("result of another invoice")
        << ligneCertifiee("T-2") << QStringList{"FACTURE NON CERTIFIEE"} << false;
    QTest::newRow("demonstration result")
        << ligneDemonstration("T-1") << QStringList{"DEMONSTRATION", "FACTURE NON CERTIFIEE"} << true;
    QTest::newRow("certified") << ligneCertifiee("T-1") << QStringList{} << true;
}

// A ticket that is not certified carries its mark at its head and in place of the fiscal block, in
// bold letters at least twice the text's height, within the roll's width (a line of the mark wraps
// between its words rather than shrink).
void LargeurTicket::marqueNonCertifiee()
{
    QFETCH(QString, ligneResultat);
    QFETCH(QStringList, marque);
    QFETCH(bool, qr);

    const ParametresRendu p =
        parametres("pays=\"Bénin\" entreprise=\"Boulangerie du Port\" largeurTicket=\"48\"");
    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QString pdf = dossier.filePath("ticket.pdf");
    QVERIFY(!imprimerTicket(p, "B;Pain;2;100;118\n", ligneResultat, pdf).isEmpty());
    const PagesPdf pages = lirePdf(pdf);
    const QString texte = pages.lignes().join(' ').simplified();
    // At the head and in place of the fiscal block.
    QCOMPARE(texte.count("CERTIFIEE"), marque.isEmpty() ? 0 : 2);
    if (!marque.isEmpty())
        QCOMPARE(texte.count(marque.join(' ')), 2);
    double hauteurTexte = 0;
    for (const MotPdf &m : pages.mots) {
        if (m.texte == "Boulangerie")
            hauteurTexte = m.yMax - m.yMin;
    }
    QVERIFY(hauteurTexte > 0);
    const double bordDroit = (margeTicketMm + p.largeurTicket) * 72 / 25.4 + 0.5;
    const QStringList mots = marque.join(' ').split(' ', Qt::SkipEmptyParts);
    for (const MotPdf &m : pages.mots) {
        if (!mots.contains(m.texte))
            continue;
        QVERIFY2(m.yMax - m.yMin >= 2 * hauteurTexte, qPrintable(m.texte));
        QVERIFY2(m.xMax <= bordDroit, qPrintable(m.texte));
    }
    QCOMPARE(codesQrA203ppp(pdf, dossier.filePath("ticket")),
             qr ? QStringList{resultat(ligneResultat)->qrcode} : QStringList{});
}

QTEST_MAIN(LargeurTicket)
#include "tst_largeurticket.moc"
