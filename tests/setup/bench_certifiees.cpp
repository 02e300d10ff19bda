// The page of certified invoices on a large register: builds a SQLite register of N invoices (one
// million by default) spread over three years, as the engine's own statements write them, then
// prints the time to open a month on the page (its query, and the page itself, offscreen) and to
// export a year with the code of "orvane-engine --exporter". Run by scripts/bench-certifiees.
#include "dialog.h"

#include <exportcertifiees.h>
#include <facturescertifiees.h>
#include <registre.h>
#include <sqlmontants.h>

#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>

#include <ctime>
#include <iostream>

namespace {

// Invoice number `i` of `nombre`, spread evenly from 1 January 2024 over 36 months.
MontantsFacture facture(int i, int nombre)
{
    const QDateTime debut(QDate(2024, 1, 1), QTime(0, 0));
    const qint64 secondes = qint64(i) * (debut.daysTo(QDateTime(QDate(2027, 1, 1), QTime(0, 0))) * 86400) / nombre;
    const QString instant = debut.addSecs(secondes).toString(QStringLiteral("yyyyMMddHHmmss"));
    const QString reference = QStringLiteral("FAC-%1").arg(i, 7, 10, QLatin1Char('0'));
    MontantsFacture m = montantsInconnus(reference, {QStringLiteral("F;QR"), QString::number(i + 1),
                                                     QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWX"),
                                                     QStringLiteral("EM01020304"),
                                                     QStringLiteral("%1/%1 FV").arg(i + 1), instant});
    m.type = i % 20 == 0 ? QStringLiteral("FA") : QStringLiteral("FV");
    m.dateFacture = instant.left(8);
    m.caisse = QStringLiteral("Caisse %1").arg(i % 4 + 1);
    m.appareil = QStringLiteral("COM3");
    m.pays = QStringLiteral("Bénin");
    m.avecMontants = true;
    const double base = 1000 + i % 997;
    m.groupes = {{QStringLiteral("A"), 300, 0, 0}, {QStringLiteral("B"), base, base * 0.18, 0}};
    m.total = 300 + base * 1.18;
    m.netAPayer = m.total;
    return m;
}

// Elapsed time, and the processor time of this program since `processeur` (the machine may be busy
// with other work: both are printed).
struct Chrono
{
    QElapsedTimer t;
    std::clock_t processeur = 0;
    void restart()
    {
        t.restart();
        processeur = std::clock();
    }
};

std::string secondes(const Chrono &c)
{
    return QStringLiteral("%1 s (processeur %2 s)")
        .arg(double(c.t.nsecsElapsed()) / 1e9, 0, 'f', 3)
        .arg(double(std::clock() - c.processeur) / CLOCKS_PER_SEC, 0, 'f', 3)
        .toStdString();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    const int nombre = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000000;
    QTemporaryDir dossier;
    const QString chemin = dossier.filePath(QStringLiteral("mcf.s3db"));
    {
        Registre registre(QStringLiteral("creation"));
        if (!registre.ouvrir(chemin))
            return 1;
    }
    Chrono t;
    t.t.start();
    t.processeur = std::clock();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("remplissage"));
        db.setDatabaseName(chemin);
        if (!db.open())
            return 1;
        QSqlQuery q(db);
        q.exec(QStringLiteral("begin"));
        QSqlQuery ajoutFacture(db), ajoutMontants(db);
        ajoutFacture.prepare(QStringLiteral("insert into facture (reference, qrcode, mecef_tc, mecef_sig, mecef_nim, "
                                            "mecef_compt, mecef_date) values (?, ?, ?, ?, ?, ?, ?)"));
        ajoutMontants.prepare(sqlmontants::insertion());
        for (int i = 0; i < nombre; ++i) {
            const MontantsFacture m = facture(i, nombre);
            for (const QVariant &v : QVariantList{m.reference, QStringLiteral("F;QR"), QString::number(i + 1), m.codeFiscal,
                                                  m.nim, m.compteurs, m.certification})
                ajoutFacture.addBindValue(v);
            for (const QVariant &v : sqlmontants::valeurs(m))
                ajoutMontants.addBindValue(v);
            if (!ajoutFacture.exec() || !ajoutMontants.exec()) {
                std::cout << "echec: " << qPrintable(ajoutMontants.lastError().text()) << "\n";
                return 1;
            }
        }
        q.exec(QStringLiteral("commit"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("remplissage"));
    std::cout << "registre: " << nombre << " factures sur 36 mois, " << QFileInfo(chemin).size() / 1048576
              << " Mo, ecrit en " << secondes(t) << "\n";

    EmplacementRegistre emplacement;
    emplacement.fichier = chemin;
    const PeriodeCertification mois{QDate(2026, 6, 1), QDate(2026, 6, 30), {}};
    t.restart();
    const ListeCertifiees liste = lireCertifiees(emplacement, mois);
    const QString synthese = texteSynthese(syntheseCertifiees(liste.factures));
    std::cout << "un mois, requete de la page et totaux: " << liste.factures.size() << " factures en "
              << secondes(t) << "\n";

    {
        Dialog dialogue(dossier.filePath(QStringLiteral("app.xml")));
        dialogue.definirRegistre(chemin);
        dialogue.show();
        dialogue.findChild<QDateEdit *>(QStringLiteral("duCertifiees"))->setDate(mois.du);
        dialogue.findChild<QDateEdit *>(QStringLiteral("auCertifiees"))->setDate(mois.au);
        auto *onglets = dialogue.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        t.restart();
        onglets->setCurrentWidget(dialogue.findChild<QWidget *>(QStringLiteral("certifiees_tab")));
        QApplication::processEvents();
        std::cout << "un mois, page affichee: "
                  << dialogue.findChild<QTableWidget *>(QStringLiteral("tableCertifiees"))->rowCount()
                  << " lignes en " << secondes(t) << "\n";
    }

    t.restart();
    const ListeCertifiees annee = lireCertifiees(emplacement, {QDate(2025, 1, 1), QDate(2025, 12, 31), {}});
    std::cout << "une annee, lecture seule: " << annee.factures.size() << " factures en " << secondes(t) << "\n";
    t.restart();
    const QByteArray csv = texteCsv(annee.factures);
    std::cout << "une annee, texte CSV seul: " << csv.size() / 1048576 << " Mo en " << secondes(t) << "\n";

    t.restart();
    const IssueExport issue = exporterCertifiees(emplacement, {QDate(2025, 1, 1), QDate(2025, 12, 31), {}},
                                                 dossier.filePath(QStringLiteral("annee.csv")));
    std::cout << "une annee exportee: " << issue.factures << " factures, "
              << QFileInfo(dossier.filePath(QStringLiteral("annee.csv"))).size() / 1048576 << " Mo en "
              << secondes(t) << "\n";
    return issue.issue == IssueExport::Issue::Ecrit && liste.lisible && !synthese.isEmpty() ? 0 : 1;
}
