#include "dialog.h"
#include "repondeur.h"

#include <exportcertifiees.h>
#include <lecturefacture.h>
#include <registre.h>

#include <QCryptographicHash>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

// The page "Factures certifiées" of orvane-setup, offscreen, on a register written by the engine's
// own register code with invoices of every kind: sales, an export sale, refunds of both countries
// (printed positive in Bénin, negative in Niger), an invoice recorded before amounts were kept, and
// one of another day.
class PageCertifiees : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void lignesEtTotaux_data();
    void lignesEtTotaux();
    void exportDeLaPage();
    void registreAbsent();

private:
    QTemporaryDir m_dossier;
    QString m_registre;
};

namespace {

const QString aujourdhui = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
const QString jour = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));

// Records the invoice `texte` of `pays`, certified today at `heure` on the till `caisse`, as the
// engine does.
bool certifier(Registre &registre, const QString &pays, const QString &texte, const QString &heure,
               const QString &caisse, const QString &date = aujourdhui)
{
    QString copie = texte;
    QTextStream flux(&copie);
    const Invoice facture = lireFacture(flux, {DispositionEntete::Version2, pays});
    const ResultatFiscal r{QStringLiteral("F;QR"), QStringLiteral("7"), QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWX"),
                           QStringLiteral("EM01"), QStringLiteral("7/9 ") + facture.typeFacture, date + heure};
    return registre.enregistrer(facture.reference, r, montantsFacture(facture, pays, r, caisse, QStringLiteral("COM3")));
}

struct Page
{
    explicit Page(const QTemporaryDir &dossier, const QString &registre) : dialogue(dossier.filePath("app.xml"))
    {
        dialogue.definirRegistre(registre);
        dialogue.show();
        onglets = dialogue.findChild<QTabWidget *>("tabWidget");
        table = dialogue.findChild<QTableWidget *>("tableCertifiees");
        synthese = dialogue.findChild<QLabel *>("syntheseCertifiees");
        etat = dialogue.findChild<QLabel *>("etatCertifiees");
        recherche = dialogue.findChild<QLineEdit *>("rechercheCertifiees");
        du = dialogue.findChild<QDateEdit *>("duCertifiees");
        au = dialogue.findChild<QDateEdit *>("auCertifiees");
        exporter = dialogue.findChild<QPushButton *>("exporterCertifiees");
        afficher = dialogue.findChild<QPushButton *>("afficherCertifiees");
    }
    bool complete() const { return onglets && table && synthese && etat && recherche && du && au && exporter && afficher; }
    void montrer() { onglets->setCurrentWidget(dialogue.findChild<QWidget *>("certifiees_tab")); }
    QStringList lignes() const
    {
        QStringList l;
        for (int r = 0; r < table->rowCount(); ++r) {
            QStringList cellules;
            for (int c = 0; c < table->columnCount(); ++c)
                cellules << (table->item(r, c) ? table->item(r, c)->text() : QString("<vide>"));
            l << cellules.join(" | ");
        }
        return l;
    }

    Dialog dialogue;
    QTabWidget *onglets = nullptr;
    QTableWidget *table = nullptr;
    QLabel *synthese = nullptr;
    QLabel *etat = nullptr;
    QLineEdit *recherche = nullptr;
    QDateEdit *du = nullptr;
    QDateEdit *au = nullptr;
    QPushButton *exporter = nullptr;
    QPushButton *afficher = nullptr;
};

QByteArray empreinte(const QString &chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256) : QByteArray();
}

} // namespace

void PageCertifiees::initTestCase()
{
    QVERIFY(m_dossier.isValid());
    m_registre = m_dossier.filePath("mcf.s3db");
    Registre registre("page-certifiees");
    QVERIFY(registre.ouvrir(m_registre));
    // Bénin sale with AIB 5 % and a specific tax: HT 3 333, TTC 3 973, AIB 171,65, net 4 144,65.
    QVERIFY(certifier(registre, "Bénin", "FV-001;FV;Ali;3;E;Kofi;123;;;;AIB5;;;10/12/2026\nB;Biere;3;1000;1180;;100;100\nA;Eau;1;333;333\n",
                      "080000", "Caisse 1"));
    QVERIFY(certifier(registre, "Bénin", "FA-001;FA;Ali;3;E;Kofi;123;;;;;FV-001;\nB;Biere;1;1000;1180\n", "090000", "Caisse 2"));
    QVERIFY(certifier(registre, "Bénin", "EV-001;EV;Ali;3;E;Kofi;123;;;;;;\nC;Machine;1;5000;5000\n", "100000", "Caisse 1"));
    QVERIFY(certifier(registre, "Niger", "FA-N01;FA;Ali;3;E;Kofi;123;;;;;X;\nB;Pain;2;100;119\n", "110000", "Caisse 2"));
    QVERIFY(certifier(registre, "Bénin", "HIER;FV;Ali;3;E;Kofi;123;;;;;;\nB;X;1;100;118\n", "120000", "Caisse 1",
                      QDate::currentDate().addDays(-1).toString("yyyyMMdd")));
    // Copied from an older till's register: no amounts.
    QCOMPARE(registre.copierFacture("ANCIENNE", {"F;A", "1", "ZZZZYYYYXXXXWWWWVVVVUUUU", "EM00", "1/1 FV", aujourdhui + "070000"}),
             IssueCopie::Copiee);
}

void PageCertifiees::lignesEtTotaux_data()
{
    QTest::addColumn<QString>("recherche");
    QTest::addColumn<QStringList>("lignes");
    QTest::addColumn<QString>("synthese");
    const QString j = jour + " ";
    QTest::newRow("today, every kind")
        << QString()
        << QStringList{"ANCIENNE | " + j + "07:00 |  |  | 1/1 FV | non conservé",
                       "FV-001 | " + j + "08:00 | FV | Caisse 1 | 7/9 FV | 3 973",
                       "FA-001 | " + j + "09:00 | FA | Caisse 2 | 7/9 FA | 1 180",
                       "EV-001 | " + j + "10:00 | EV | Caisse 1 | 7/9 EV | 5 000",
                       "FA-N01 | " + j + "11:00 | FA | Caisse 2 | 7/9 FA | -238"}
        << QStringLiteral(
               "5 factures certifiées, dont 1 enregistrée(s) sans montants (avant leur conservation au registre), "
               "comptée(s) dans aucun total.\n"
               "Par type: EV: 1 pour 5 000 F CFA | FA: 2 pour -1 418 F CFA | FV: 1 pour 3 973 F CFA\n"
               "Par groupe de taxe: [A] HT 333 F CFA, TVA 0 F CFA, TS 0 F CFA | [B] HT 1 800 F CFA, TVA 322 F CFA, "
               "TS 100 F CFA | [C] HT 5 000 F CFA, TVA 0 F CFA, TS 0 F CFA\n"
               "Total TTC: 7 555 F CFA | Retenues: 172 F CFA | Net: 7 727 F CFA (avoirs déduits)");
    QTest::newRow("search of refunds, any case")
        << QStringLiteral("fa-")
        << QStringList{"FA-001 | " + j + "09:00 | FA | Caisse 2 | 7/9 FA | 1 180",
                       "FA-N01 | " + j + "11:00 | FA | Caisse 2 | 7/9 FA | -238"}
        << QStringLiteral("2 factures certifiées.\nPar type: FA: 2 pour -1 418 F CFA\n"
                          "Par groupe de taxe: [B] HT -1 200 F CFA, TVA -218 F CFA, TS 0 F CFA\n"
                          "Total TTC: -1 418 F CFA | Retenues: 0 F CFA | Net: -1 418 F CFA (avoirs déduits)");
    QTest::newRow("nothing found") << QStringLiteral("inconnue") << QStringList{}
                                   << QStringLiteral("Aucune facture certifiée sur cette période.");
}

void PageCertifiees::lignesEtTotaux()
{
    QFETCH(QString, recherche);
    QFETCH(QStringList, lignes);
    QFETCH(QString, synthese);
    const QByteArray avant = empreinte(m_registre);
    Page page(m_dossier, m_registre);
    QVERIFY(page.complete());
    // Today by default.
    QCOMPARE(page.du->date(), QDate::currentDate());
    QCOMPARE(page.au->date(), QDate::currentDate());
    page.recherche->setText(recherche);
    page.montrer();
    QCOMPARE(page.lignes(), lignes);
    QCOMPARE(page.synthese->text(), synthese);
    QCOMPARE(page.etat->text(), QString());
    // Yesterday alone, then both days.
    page.recherche->clear();
    page.du->setDate(QDate::currentDate().addDays(-1));
    page.au->setDate(QDate::currentDate().addDays(-1));
    QCOMPARE(page.lignes().size(), 1);
    QVERIFY(page.lignes().first().startsWith("HIER | "));
    page.au->setDate(QDate::currentDate());
    QCOMPARE(page.lignes().size(), 6);
    // Read, never written.
    QCOMPARE(empreinte(m_registre), avant);
}

void PageCertifiees::exportDeLaPage()
{
    // "Exporter…" writes the very file of "orvane-engine --exporter" for the page's period.
    Page page(m_dossier, m_registre);
    QVERIFY(page.complete());
    page.montrer();
    QString propose;
    const QString chemin = m_dossier.filePath("page.csv");
    page.dialogue.definirChoixFichierExport([&](const QString &proposition) {
        propose = proposition;
        return chemin;
    });
    {
        Repondeur repondeur(QList<Repondeur::Reponse>{{"resultatExport", "OK"}});
        page.exporter->click();
        QCOMPARE(repondeur.inattendues, QStringList{});
        QCOMPARE(repondeur.textesVus,
                 QStringList{"5 facture(s) exportée(s) dans " + QDir::toNativeSeparators(chemin) + "."});
    }
    QVERIFY(propose.endsWith(QString("factures-certifiees-%1-%1.csv").arg(aujourdhui)));

    Registre registre("page-export");
    QVERIFY(registre.ouvrirExistant(m_registre));
    const QString attendu = m_dossier.filePath("moteur.csv");
    QCOMPARE(int(exporterCertifiees(registre, {QDate::currentDate(), QDate::currentDate(), {}}, attendu).issue),
             int(IssueExport::Issue::Ecrit));
    QCOMPARE(empreinte(chemin), empreinte(attendu));
    QFile f(chemin);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList lignes = QString::fromUtf8(f.readAll()).split("\r\n");
    QCOMPARE(lignes.size(), 7); // the header, five invoices, and the end of the last line
    QVERIFY(lignes.at(0).startsWith(QString::fromUtf8("\xEF\xBB\xBF") + "Référence;Type;Date facture;Certification;Caisse;"));
    QVERIFY(lignes.at(0).contains(";HT A;TVA A;TS A;HT B;TVA B;TS B;HT C;TVA C;TS C;"));
    QCOMPARE(lignes.at(2), "FV-001;FV;10/12/2026;" + jour + " 08:00:00;Caisse 1;COM3;EM01;7/9 FV;ABCD-EFGH-IJKL-MNOP-QRST-UVWX;"
                                                          "333;0;0;3000;540;100;0;0;0;AIB;AIB5;5;172;3973;4145;conservés");

    // A choice abandoned writes nothing; a folder that does not exist is refused.
    page.dialogue.definirChoixFichierExport([](const QString &) { return QString(); });
    {
        Repondeur rien({});
        page.exporter->click();
        QCOMPARE(rien.boitesVues, QStringList{});
    }
    const QString absent = m_dossier.filePath("absent/x.csv");
    page.dialogue.definirChoixFichierExport([&](const QString &) { return absent; });
    Repondeur refus(QList<Repondeur::Reponse>{{"resultatExport", "OK"}});
    page.exporter->click();
    QCOMPARE(refus.iconesVues, QList<QMessageBox::Icon>{QMessageBox::Warning});
    QVERIFY2(refus.textesVus.value(0).startsWith("Impossible d'écrire le fichier " + QDir::toNativeSeparators(absent)),
             qPrintable(refus.textesVus.value(0)));
    QVERIFY(!QFile::exists(absent));
}

void PageCertifiees::registreAbsent()
{
    // No register beside the programs: said so, and none is created.
    const QString absent = m_dossier.filePath("aucun.s3db");
    Page page(m_dossier, absent);
    QVERIFY(page.complete());
    page.montrer();
    QVERIFY2(page.etat->text().startsWith("Registre illisible: "), qPrintable(page.etat->text()));
    QCOMPARE(page.table->rowCount(), 0);
    QVERIFY(!QFile::exists(absent));
}

QTEST_MAIN(PageCertifiees)
#include "tst_facturescertifiees.moc"
