// Screenshots of the settings dialog's tabs and of the A4 invoice's print preview, as an
// integrator sees them, and pictures of the printed documents, for the documentation:
//   xvfb-run -s "-screen 0 1280x900x24" build/tests/captures-ecran docs/images
// Run from the repository root; the settings and invoice are the sample ones of tests/data/render,
// the invoices in suspense those of a sample register written here. The printed documents are made
// by a run of the renderer itself and turned into pictures with pdftoppm (poppler-utils).
#include "dialog.h"
#include "lecturesrendu.h"
#include "resultatsexemple.h"

#include <document.h>
#include <lecturefacture.h>
#include <registre.h>
#include <rendu.h>
#include <sortie.h>
#include <titulaire.h>
#include <traduction.h>
#include <worker.h>

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTranslator>

#include <iostream>

namespace {

bool capturer(QWidget &fenetre, const QString &fichier)
{
    QTest::qWait(400); // let the window be mapped and painted
    const QRect cadre = fenetre.frameGeometry();
    const QPixmap image =
        fenetre.screen()->grabWindow(0, cadre.x(), cadre.y(), cadre.width(), cadre.height());
    const bool ok = image.save(fichier);
    std::cout << qPrintable(fichier) << (ok ? "" : " : echec") << "\n";
    return ok;
}

// A register holding a few invoices a run could not finish, as the engine leaves them: one whose
// close was lost on the device, one whose e-MCF confirmation got no answer, one already released by
// the operator, and one this program holds as a live run would.
bool ecrireRegistreExemple(const QString &chemin)
{
    Registre registre(QStringLiteral("captures"));
    if (!registre.ouvrir(chemin))
        return false;
    const TitulaireExecution morte{QCoreApplication::applicationPid(), QStringLiteral("execution-terminee")};
    const TitulaireExecution vivante = executionCourante();
    const auto jamaisVivante = [](const TitulaireExecution &) { return false; };
    const QString port = QStringLiteral("COM3");
    const QString service = QStringLiteral("https://developper.impots.bj/sygmef-emcf/api/invoice");
    using E = EtatCertification;
    struct Exemple
    {
        QString reference;
        QString chemin;
        QList<E> etats;
        bool vivante;
    };
    const QList<Exemple> exemples = {
        {QStringLiteral("FAC-2026-0142"),
         cheminAppareil,
         {E::Ouverte, E::Payee, E::FermetureEnvoyee, E::IssueInconnue},
         false},
        {QStringLiteral("FAC-2026-0145"),
         cheminEmcf,
         {E::SoumissionEnvoyee, E::Soumise, E::ConfirmationEnvoyee},
         false},
        {QStringLiteral("FAC-2026-0147"), cheminAppareil, {E::Ouverte, E::Payee}, false},
        {QStringLiteral("FAC-2026-0148"), cheminAppareil, {E::Ouverte}, true},
    };
    for (const Exemple &e : exemples) {
        const TitulaireExecution titulaire = e.vivante ? vivante : morte;
        if (registre
                .reclamer(e.reference, e.reference, e.chemin, e.chemin == cheminEmcf ? service : port,
                          titulaire, jamaisVivante)
                .issue != Reclamation::Issue::Nouvelle)
            return false;
        for (E etat : e.etats) {
            if (!registre.changerEtat(e.reference, etat, titulaire,
                                      etat == E::Soumise ? QStringLiteral("UID-0145") : QString()))
                return false;
        }
    }
    if (registre.abandonner(QStringLiteral("FAC-2026-0147"), jamaisVivante).issue !=
        AbandonOperateur::Issue::Abandonnee)
        return false;

    // The day's certified invoices of two tills: sales, an export sale, a refund, and one copied
    // from a till's register of an earlier version, without amounts.
    const QString jour = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
    const QStringList certifiees = {
        "FAC-2026-0131;FV;Awa;7;E;Kofi;3209876543210;;;;AIB1;;;10/12/2026\nB;Riz 25 kg;4;15000;17700\n"
        "A;Eau minerale;12;300;300\n|081512|Caisse 1",
        "FAC-2026-0132;FV;Awa;7;E;Ami;;;;;;;;10/12/2026\nB;Huile 5 l;2;6500;7670;;250;250\n|093040|Caisse 2",
        "FAC-2026-0133;EV;Awa;7;V;Sahel SA;;;;;;;;10/12/2026\nC;Noix de cajou;50;1200;1200\n|101205|Caisse 1",
        "AV-2026-0007;FA;Awa;7;E;Kofi;3209876543210;;;;;FAC-2026-0131;;10/12/2026\nB;Riz 25 kg;1;15000;17700\n"
        "|113358|Caisse 2",
    };
    int compteur = 40;
    for (const QString &exemple : certifiees) {
        const QStringList parties = exemple.split(QLatin1Char('|'));
        QString texte = parties.at(0);
        QTextStream flux(&texte);
        const Invoice facture = lireFacture(flux, {DispositionEntete::Version2, QStringLiteral("Bénin")});
        ++compteur;
        const ResultatFiscal r{QStringLiteral("F;EM01020304;SIG;1;") + jour + parties.at(1),
                               QString::number(compteur),
                               QStringLiteral("Q7RW3NBMTXA2KD5JCVHEGF6L"),
                               QStringLiteral("EM01020304"),
                               QStringLiteral("%1/%2 %3").arg(compteur - 2).arg(compteur).arg(facture.typeFacture),
                               jour + parties.at(1)};
        if (!registre.enregistrer(facture.reference, r,
                                  montantsFacture(facture, QStringLiteral("Bénin"), r, parties.at(2), port)))
            return false;
    }
    return registre.copierFacture(QStringLiteral("FAC-2026-0098"),
                                  {QStringLiteral("F;EM01020304;SIG;1"), QStringLiteral("39"),
                                   QStringLiteral("K2PL8ZQW4MNB7TXC5VRD3HJA"), QStringLiteral("EM01020304"),
                                   QStringLiteral("37/39 FV"), jour + QStringLiteral("074502")}) == IssueCopie::Copiee;
}

// The sample invoice printed by the renderer in `impression` mode, with the result line
// `ligneResultat` (empty: none), in the folder `dossier`; the path of its PDF.
QString imprimerExemple(const QString &donnees, const QString &dossier, const QString &impression,
                        const QString &ligneResultat)
{
    QDir().mkpath(dossier);
    QFile::copy(donnees + "app.xml", dossier + "/app.xml");
    QFile modele(donnees + "facture.csv");
    modele.open(QIODevice::ReadOnly);
    QStringList lignes = QString::fromUtf8(modele.readAll()).split('\n');
    QStringList entete = lignes.at(0).split(';');
    entete[12] = impression;
    lignes[0] = entete.join(';');
    QFile entree(dossier + "/facture.csv");
    entree.open(QIODevice::WriteOnly);
    entree.write(lignes.join('\n').toUtf8());
    entree.close();
    if (!ligneResultat.isEmpty()) {
        QFile resultat(dossier + "/facture.csv.mcf");
        resultat.open(QIODevice::WriteOnly);
        resultat.write(ligneResultat.toUtf8());
    }
    const QString avant = QDir::currentPath();
    QDir::setCurrent(dossier);
    executerRendu({QStringLiteral("orvane-render"), dossier + "/facture.csv"}, dossier, std::cout);
    QDir::setCurrent(avant);
    return dossier + (impression.startsWith("ticket") ? "/pdf/tickets/" : "/pdf/factures/") + entete.at(0) +
           ".pdf";
}

// The first page of `pdf` as a PNG picture `fichier`, with pdftoppm's `options`.
bool photographier(const QString &pdf, const QString &fichier, const QStringList &options)
{
    const QString racine = fichier.chopped(4); // pdftoppm adds ".png"
    const bool ok = QProcess::execute("pdftoppm", options + QStringList{"-png", "-singlefile", "-f", "1",
                                                                        "-l", "1", pdf, racine}) == 0;
    std::cout << qPrintable(fichier) << (ok ? "" : " : echec") << "\n";
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QTranslator traduction;
    installerTraductionQt(traduction);
    const QString sortie = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/images");
    const QString donnees = QStringLiteral(ORVANE_TEST_DATA_DIR "/render/");
    QDir().mkpath(sortie);
    QTemporaryDir dossier;

    // The dialog on the sample settings and register, one picture per tab.
    QFile::copy(donnees + "app.xml", dossier.filePath("app.xml"));
    if (!ecrireRegistreExemple(dossier.filePath("mcf.s3db")))
        std::cout << "registre d'exemple : echec\n";
    {
        Dialog dialogue(dossier.filePath("app.xml"));
        dialogue.definirRegistre(dossier.filePath("mcf.s3db"));
        dialogue.move(40, 40);
        dialogue.show();
        auto *onglets = dialogue.findChild<QTabWidget *>("tabWidget");
        const QStringList noms = {"setup-application.png", "setup-general.png", "setup-ftp.png",
                                  "setup-suspens.png", "setup-certifiees.png"};
        for (int i = 0; i < onglets->count() && i < noms.size(); ++i) {
            onglets->setCurrentIndex(i);
            // The invoice in suspense that may be released is chosen, as the operator would.
            if (auto *table = onglets->currentWidget()->findChild<QTableWidget *>("tableSuspens"))
                table->selectRow(0);
            capturer(dialogue, QDir(sortie).filePath(noms.at(i)));
        }
    }

    // The print preview of the sample invoice with its fiscal block and QR code.
    QFile f(donnees + "facture.csv");
    f.open(QIODevice::ReadOnly);
    QFile a(donnees + "app.xml");
    a.open(QIODevice::ReadOnly);
    const ParametresRendu p = parametresRendu(analyserParametres(a.readAll()));
    const Invoice facture = lire(QString::fromUtf8(f.readAll()), p);
    const QString html =
        construireDocument(facture, p, resultat(ligneCertifiee(facture.reference)), Variante::A4) +
        "</body></html>";
    Worker worker(html, facture.reference);
    QPrinter imprimante(QPrinter::HighResolution);
    imprimante.setOutputFormat(QPrinter::PdfFormat);
    imprimante.setOutputFileName(dossier.filePath("apercu.pdf"));
    QPrintPreviewDialog apercu(&imprimante);
    QObject::connect(&apercu, &QPrintPreviewDialog::paintRequested, &worker, &Worker::print);
    apercu.setWindowTitle(titreApercu());
    dimensionnerApercu(apercu);
    apercu.show();
    capturer(apercu, QDir(sortie).filePath("render-apercu.png"));
    apercu.close();

    // The sample invoice without a result file: the A4 page with its marks. The sample ticket,
    // certified, as a 203 dpi thermal printer prints it (one bit per pixel).
    photographier(
        imprimerExemple(donnees, dossier.filePath("non-certifiee"), "facture-pdf-silent", QString()),
        QDir(sortie).filePath("render-non-certifiee.png"), {"-r", "60", "-gray"});
    photographier(imprimerExemple(donnees, dossier.filePath("ticket"), "ticket-pdf-silent",
                                  ligneCertifiee(facture.reference)),
                  QDir(sortie).filePath("render-ticket-203ppp.png"), {"-r", "203", "-mono"});
    return 0;
}
