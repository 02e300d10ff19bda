#include "boutenbout.h"

#include <QDate>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <memory>

using namespace boutenbout;

// End to end, the register's list of certified invoices: the real engine certifies on the device
// simulator and on the e-MCF double, the renderer prints the tickets, and "orvane-engine --exporter"
// writes the CSV file that the test reads back, judged against the tickets and the result files.
class ExportCertifiees : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_certificat.pret()); }
    void totauxDesDocuments_data();
    void totauxDesDocuments();
    void factureAnterieureSansMontants();
    void mauvaisArguments_data();
    void mauvaisArguments();

private:
    CertificatLocal m_certificat;
};

namespace {

// The rows of a CSV export, each a map from the header's names to the fields; the first entry of
// the list is the header itself under "". Empty when the file is not an export.
QList<QMap<QString, QString>> lireExport(const QString &chemin, QString &erreur)
{
    QFile f(chemin);
    if (!f.open(QIODevice::ReadOnly)) {
        erreur = QStringLiteral("fichier absent");
        return {};
    }
    const QByteArray octets = f.readAll();
    if (!octets.startsWith("\xEF\xBB\xBF")) {
        erreur = QStringLiteral("pas de BOM");
        return {};
    }
    QStringList lignes = QString::fromUtf8(octets.mid(3)).split(QStringLiteral("\r\n"));
    if (lignes.isEmpty() || !lignes.last().isEmpty()) {
        erreur = QStringLiteral("derniere ligne non terminee");
        return {};
    }
    lignes.removeLast();
    const QStringList entete = lignes.first().split(QLatin1Char(';'));
    QList<QMap<QString, QString>> rangees{{{QString(), lignes.first()}}};
    for (const QString &ligne : lignes.mid(1)) {
        const QStringList champs = ligne.split(QLatin1Char(';'));
        if (champs.size() != entete.size()) {
            erreur = QStringLiteral("ligne de %1 champs: %2").arg(champs.size()).arg(ligne);
            return {};
        }
        QMap<QString, QString> rangee;
        for (int i = 0; i < champs.size(); ++i)
            rangee.insert(entete.at(i), champs.at(i));
        rangees << rangee;
    }
    return rangees;
}

// The amount after the label `motif` (a regular expression) on the ticket `texte`, the spaces
// between its digits removed; empty when the ticket has no such line.
QString montantDuTicket(const QString &texte, const QString &motif)
{
    return QRegularExpression(motif + QStringLiteral(" ?(-?[0-9][0-9 ]*)")).match(texte).captured(1).remove(QLatin1Char(' '));
}

// The ticket of the certified input file `nom`, printed by hand with its result file: its text.
QString ticket(const Installation &installation, const QString &nom, const QString &reference)
{
    QFile entree(installation.chemin(nom));
    if (!entree.open(QIODevice::ReadOnly))
        return {};
    QStringList lignes = QString::fromUtf8(entree.readAll()).split(QLatin1Char('\n'));
    // The print mode is header field 12.
    QStringList entete = lignes.first().split(QLatin1Char(';'));
    while (entete.size() < 13)
        entete << QString();
    entete[12] = QStringLiteral("ticket-pdf-silent");
    lignes[0] = entete.join(QLatin1Char(';'));
    const QString rendu = QStringLiteral("rendu-") + nom;
    if (!installation.ecrire(rendu, lignes.join(QLatin1Char('\n'))) ||
        !QFile::copy(installation.chemin(nom + QStringLiteral(".mcf")), installation.chemin(rendu + QStringLiteral(".mcf"))))
        return {};
    const Installation::Sortie s = installation.rendre(rendu);
    if (s.code != 0)
        return QStringLiteral("[orvane-render: code %1]\n%2").arg(s.code).arg(s.console);
    return installation.textePdf(QStringLiteral("pdf/tickets/") + reference + QStringLiteral(".pdf"));
}

Installation::Sortie exporter(const Installation &installation, const QStringList &arguments)
{
    return installation.lancer(QStringLiteral("orvane-engine"), QStringList{QStringLiteral("--exporter")} + arguments);
}

} // namespace

void ExportCertifiees::totauxDesDocuments_data()
{
    QTest::addColumn<QString>("pays");
    QTest::addColumn<QString>("chemin");
    QTest::addColumn<QString>("code"); // the withholding code of the sale
    for (const QString &chemin : {appareil, emcf}) {
        QTest::addRow("benin %s", qPrintable(chemin)) << QStringLiteral("Bénin") << chemin << QStringLiteral("AIB5");
        QTest::addRow("niger %s", qPrintable(chemin)) << QStringLiteral("Niger") << chemin << QStringLiteral("B");
    }
}

void ExportCertifiees::totauxDesDocuments()
{
    // A sale with a withholding and a specific tax on two groups, and its refund: each exported with
    // the amounts its ticket prints (a Niger refund negative, a Bénin one positive), the codes of
    // its result file and the till of app.xml.
    QFETCH(QString, pays);
    QFETCH(QString, chemin);
    QFETCH(QString, code);
#ifdef Q_OS_WIN
    // Under Wine, QSerialPort receives nothing of the simulator's replies on COM1.
    if (chemin == appareil)
        QSKIP("the device simulator on COM1 cannot answer under Wine");
#endif
    Installation installation(attributsApp(pays, chemin) + QStringLiteral(" caisse=\"Caisse n°1\""));
    QVERIFY(installation.pret());
    const bool niger = pays == QStringLiteral("Niger");
    const QString vente = QStringLiteral("V-%1").arg(codeSimulateur(pays));
    const QString avoir = QStringLiteral("A-%1").arg(codeSimulateur(pays));
    const QString prixBiere = niger ? QStringLiteral("1190") : QStringLiteral("1180");
    const QMap<QString, QString> factures{
        {vente, vente + QStringLiteral(";FV;Ali;3;E;Kofi;123;;;;") + code + QStringLiteral(";;;12/12/2026\n") +
                    QStringLiteral("B;Biere;3;1000;") + prixBiere + QStringLiteral(";;100;100\nA;Eau;1;333;333\n")},
        {avoir, avoir + QStringLiteral(";FA;Ali;3;E;Kofi;123;;;;;") + vente + QStringLiteral(";;13/12/2026\n") +
                    QStringLiteral("B;Biere;1;1000;") + prixBiere + QStringLiteral(";;100;100\n")}};
    // Both on one device or service, which knows the sale when the refund comes.
    const QStringList options{QStringLiteral("--pays"), codeSimulateur(pays)};
    std::unique_ptr<SimulateurMCF> simulateur;
    std::unique_ptr<DoubleEmcf> service;
    if (chemin == appareil)
        simulateur = std::make_unique<SimulateurMCF>(options);
    else
        service = std::make_unique<DoubleEmcf>(m_certificat, options);
    QStringList dates;
    for (const QString &reference : {vente, avoir}) {
        const QString nom = reference + QStringLiteral(".csv");
        QVERIFY(installation.ecrire(nom, factures.value(reference)));
        const Installation::Sortie s = simulateur ? installation.certifier(nom, simulateur->terminal)
                                                  : installation.certifier(nom, {}, service->environnement());
        QVERIFY2(!installation.resultat(nom).isEmpty(), qPrintable(s.console));
        dates << installation.resultat(nom).value(5).left(10);
    }
    // The period of the certification days, both included.
    const QString fichier = installation.chemin(QStringLiteral("export/certifiees.csv"));
    QVERIFY(QDir().mkpath(installation.chemin(QStringLiteral("export"))));
    const Installation::Sortie s = exporter(installation, {dates.first(), dates.last(), fichier});
    QCOMPARE(s.code, 0);
    QCOMPARE(s.console, QStringLiteral("2 facture(s) exportee(s) dans %1.\n").arg(fichier));
    QString erreur;
    const QList<QMap<QString, QString>> rangees = lireExport(fichier, erreur);
    QVERIFY2(rangees.size() == 3, qPrintable(erreur));

    const QString retenue = niger ? QStringLiteral("ISB") : QStringLiteral("AIB");
    for (const QMap<QString, QString> &r : rangees.mid(1)) {
        const QString reference = r.value(QStringLiteral("Référence"));
        const QString nom = reference + QStringLiteral(".csv");
        const QStringList resultat = installation.resultat(nom);
        const QString texte = ticket(installation, nom, reference);
        QVERIFY2(texte.contains(QStringLiteral("Total TTC")), qPrintable(texte));
        // What the ticket prints, label by label, and the column that must hold the same.
        QList<QPair<QString, QString>> attendus{
            {QStringLiteral("Total TTC"), montantDuTicket(texte, QStringLiteral("Total TTC:"))},
            {QStringLiteral("HT B"), montantDuTicket(texte, QStringLiteral("Total: HT \\[B\\] ="))},
            {QStringLiteral("TS B"), montantDuTicket(texte, QStringLiteral("TS \\[B\\] ="))},
            {QStringLiteral("TVA B"), montantDuTicket(texte, QStringLiteral("TVA \\[B\\][^=]*="))},
        };
        if (reference == vente) {
            attendus << QPair<QString, QString>{QStringLiteral("HT A"),
                                                montantDuTicket(texte, niger ? QStringLiteral("Exonérés =")
                                                                             : QStringLiteral("Total: HT \\[A\\] ="))};
            attendus << QPair<QString, QString>{QStringLiteral("Montant retenue"),
                                                montantDuTicket(texte, retenue + QStringLiteral(" 5% :"))};
            attendus << QPair<QString, QString>{QStringLiteral("Net à payer"),
                                                montantDuTicket(texte, QStringLiteral("Net à Payer:"))};
        }
        for (const auto &[colonne, imprime] : attendus) {
            QVERIFY2(!imprime.isEmpty(), qPrintable(colonne + QStringLiteral(" absent du ticket:\n") + texte));
            QCOMPARE(r.value(colonne), imprime);
        }
        // A refund is printed negative in Niger only.
        QCOMPARE(r.value(QStringLiteral("Total TTC")).startsWith(QLatin1Char('-')), niger && reference == avoir);
        QCOMPARE(r.value(QStringLiteral("Type")), reference == vente ? QStringLiteral("FV") : QStringLiteral("FA"));
        QCOMPARE(r.value(QStringLiteral("Date facture")), reference == vente ? QStringLiteral("12/12/2026")
                                                                              : QStringLiteral("13/12/2026"));
        QCOMPARE(r.value(QStringLiteral("Caisse")), QStringLiteral("Caisse n°1"));
        QCOMPARE(r.value(QStringLiteral("NIM")), resultat.value(3));
        QCOMPARE(r.value(QStringLiteral("Compteurs")), resultat.value(4));
        QCOMPARE(r.value(QStringLiteral("Code fiscal")), resultat.value(2));
        QCOMPARE(r.value(QStringLiteral("Certification")), resultat.value(5));
        QCOMPARE(r.value(QStringLiteral("Retenue")), reference == vente ? retenue : QString());
        QCOMPARE(r.value(QStringLiteral("Code retenue")), reference == vente ? code : QString());
        QCOMPARE(r.value(QStringLiteral("Montants")), QStringLiteral("conservés"));
        QVERIFY(!r.value(QStringLiteral("Appareil ou compte")).isEmpty());
    }

    // The day before: the header alone.
    const QString veille = QDate::fromString(dates.first(), QStringLiteral("dd/MM/yyyy"))
                               .addDays(-1)
                               .toString(QStringLiteral("dd/MM/yyyy"));
    QCOMPARE(exporter(installation, {veille, veille, fichier}).code, 0);
    const QList<QMap<QString, QString>> vide = lireExport(fichier, erreur);
    QCOMPARE(vide.size(), 1);
    QVERIFY(vide.first().value(QString()).startsWith(QStringLiteral("Référence;Type;Date facture;Certification;")));
}

void ExportCertifiees::factureAnterieureSansMontants()
{
    // A register of the previous version holding one invoice: the next run brings it up to date and
    // certifies a new one; the export lists the older invoice without amounts beside the new one.
#ifdef Q_OS_WIN
    // Under Wine, QSerialPort receives nothing of the simulator's replies on COM1: the e-MCF double
    // certifies the new invoice there.
    const QString chemin = emcf;
#else
    const QString chemin = appareil;
#endif
    Installation installation(attributsApp(QStringLiteral("Bénin"), chemin) + QStringLiteral(" caisse=\"C2\""));
    QVERIFY(installation.pret());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("ancien"));
        db.setDatabaseName(installation.chemin(QStringLiteral("mcf.s3db")));
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("create table facture (reference text, qrcode text, mecef_tc text, "
                                      "mecef_sig text, mecef_nim text, mecef_compt text, mecef_date text)")));
        QVERIFY(q.exec(QStringLiteral("pragma user_version = 3")));
        QVERIFY(q.exec(QStringLiteral("insert into facture values ('ANCIENNE', 'F;X', '7', 'ABCDABCDABCDABCDABCDABCD', "
                                      "'EM00000001', '7/7 FV', '") +
                       QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) + QStringLiteral("080000')")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("ancien"));
    const QString jour = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
    const QString fichier = installation.chemin(QStringLiteral("avant.csv"));
    // Read as it stands, before any run of this version.
    QCOMPARE(exporter(installation, {jour, jour, fichier}).code, 0);
    QString erreur;
    QList<QMap<QString, QString>> rangees = lireExport(fichier, erreur);
    QCOMPARE(rangees.size(), 2);
    QCOMPARE(rangees.at(1).value(QStringLiteral("Montants")), QStringLiteral("non conservés"));

    QVERIFY(installation.ecrire(QStringLiteral("N.csv"), QStringLiteral("N;FV;Ali;3;E;Kofi;123;;;;;;\nB;Pain;2;100;118\n")));
    const Deroulement d = certifierSur(installation, m_certificat, QStringLiteral("Bénin"), chemin, QStringLiteral("N.csv"));
    QVERIFY2(d.certifiee, qPrintable(d.console));
    const QString jourCertifie = installation.resultat(QStringLiteral("N.csv")).value(5).left(10);
    QCOMPARE(exporter(installation, {jour, jourCertifie, fichier}).code, 0);
    rangees = lireExport(fichier, erreur);
    QVERIFY2(rangees.size() == 3, qPrintable(erreur));
    const QMap<QString, QString> &ancienne = rangees.at(1);
    QCOMPARE(ancienne.value(QStringLiteral("Référence")), QStringLiteral("ANCIENNE"));
    QCOMPARE(ancienne.value(QStringLiteral("Certification")), jour + QStringLiteral(" 08:00:00"));
    QCOMPARE(ancienne.value(QStringLiteral("Code fiscal")), QStringLiteral("ABCD-ABCD-ABCD-ABCD-ABCD-ABCD"));
    QCOMPARE(ancienne.value(QStringLiteral("Montants")), QStringLiteral("non conservés"));
    QVERIFY(ancienne.value(QStringLiteral("Total TTC")).isEmpty());
    QVERIFY(ancienne.value(QStringLiteral("HT B")).isEmpty());
    QCOMPARE(rangees.at(2).value(QStringLiteral("Référence")), QStringLiteral("N"));
    QCOMPARE(rangees.at(2).value(QStringLiteral("Total TTC")), QStringLiteral("236"));
    QCOMPARE(rangees.at(2).value(QStringLiteral("HT B")), QStringLiteral("200"));
    QCOMPARE(rangees.at(2).value(QStringLiteral("TVA B")), QStringLiteral("36"));
    QCOMPARE(rangees.at(2).value(QStringLiteral("Caisse")), QStringLiteral("C2"));
}

void ExportCertifiees::mauvaisArguments_data()
{
    // "<fichier>" stands for a file of the installation, "<absent>" for one in a folder that does
    // not exist.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message"); // how the console begins
    QTest::addColumn<bool>("registre");   // a register beside the engine
    const QString usage = QStringLiteral("Usage: orvane-engine --exporter JJ/MM/AAAA JJ/MM/AAAA FICHIER\n");
    QTest::newRow("no argument") << QStringList{} << usage << true;
    QTest::newRow("no file") << QStringList{"01/12/2026", "31/12/2026"} << usage << true;
    QTest::newRow("one argument too many") << QStringList{"01/12/2026", "31/12/2026", "<fichier>", "x"} << usage << true;
    QTest::newRow("day that does not exist")
        << QStringList{"31/02/2026", "31/12/2026", "<fichier>"}
        << QStringLiteral("Date illisible: 31/02/2026 (attendu JJ/MM/AAAA).\n") << true;
    QTest::newRow("iso date") << QStringList{"01/12/2026", "2026-12-31", "<fichier>"}
                              << QStringLiteral("Date illisible: 2026-12-31 (attendu JJ/MM/AAAA).\n") << true;
    QTest::newRow("inverted period") << QStringList{"02/12/2026", "01/12/2026", "<fichier>"}
                                     << QStringLiteral("Periode inversee: le 02/12/2026 est apres le 01/12/2026.\n")
                                     << true;
    QTest::newRow("folder that does not exist") << QStringList{"01/12/2026", "31/12/2026", "<absent>"}
                                                << QStringLiteral("Impossible d'ecrire le fichier <absent> (") << true;
    QTest::newRow("no register beside the engine")
        << QStringList{"01/12/2026", "31/12/2026", "<fichier>"} << QStringLiteral("Registre illisible (") << false;
}

void ExportCertifiees::mauvaisArguments()
{
    // A French message, exit code 2, no file written and no register created.
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QFETCH(bool, registre);
    Installation installation(attributsApp(QStringLiteral("Bénin"), appareil));
    QVERIFY(installation.pret());
    if (registre) {
        // A register of this version, made by a run of the engine in demonstration.
        QVERIFY(installation.ecrire(QStringLiteral("demo.csv"), QStringLiteral("X;FV;Ali;3;E;Kofi;123\nB;Pain;1;100;118\n")));
        installation.certifier(QStringLiteral("demo.csv"), QStringLiteral("DEMO"));
        QVERIFY(QFile::exists(installation.chemin(QStringLiteral("mcf.s3db"))));
    }
    const auto contenu = [&] {
        return QDir(installation.chemin(QString())).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    };
    const QStringList avant = contenu();
    const auto remplacer = [&](QString texte) {
        return texte.replace(QStringLiteral("<fichier>"), installation.chemin(QStringLiteral("export.csv")))
            .replace(QStringLiteral("<absent>"), installation.chemin(QStringLiteral("absent/export.csv")));
    };
    QStringList vrais;
    for (const QString &a : arguments)
        vrais << remplacer(a);
    const Installation::Sortie s = exporter(installation, vrais);
    QCOMPARE(s.code, 2);
    QVERIFY2(s.console.startsWith(remplacer(message)), qPrintable(s.console));
    QCOMPARE(s.console.count(QLatin1Char('\n')), 1);
    QVERIFY(s.console.endsWith(QLatin1Char('\n')));
    QCOMPARE(contenu(), avant);
}

QTEST_GUILESS_MAIN(ExportCertifiees)
#include "tst_exportcertifiees.moc"
