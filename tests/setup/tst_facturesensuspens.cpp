#include "dialog.h"
#include "repondeur.h"

#include <decisionoperateur.h>
#include <registre.h>
#include <stockagesqlite.h>
#include <titulaire.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSqlDatabase>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using E = EtatCertification;

// The page of invoices in suspense, on registers the engine's own register code writes: what it
// lists, what it lets the operator release, what the release leaves in the register, and that it
// never creates nor changes a register it cannot read.
class TestFacturesEnSuspens : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void liste_data();
    void liste();
    void abandon_data();
    void abandon();
    void abandonDevenuImpossible_data();
    void abandonDevenuImpossible();
    void registreInutilisable_data();
    void registreInutilisable();
    void aucuneFacture_data();
    void aucuneFacture();
    void depuis_data();
    void depuis();
    void relectureAChaqueAffichage();
    void registreParDefaut();
};

namespace {

const QString portMcf = QStringLiteral("COM3");
const QString serviceEmcf = QStringLiteral("http://127.0.0.1:9/emcf/api/invoice");
const QString connexionTest = QStringLiteral("test-registre");

// A run that died: this process's id, with the start token of another process.
TitulaireExecution executionMorte()
{
    return {QCoreApplication::applicationPid(), QStringLiteral("demarrage-d-une-execution-morte")};
}

bool jamaisVivante(const TitulaireExecution &)
{
    return false;
}

// How one invoice of the sample register gets where it is, as the engine takes it there.
struct Parcours
{
    QString reference;
    QString chemin;
    QList<E> etats; // after the claim, in order
    enum Fin { Aucune, Enregistree, AbandonOperateur } fin = Aucune;
    bool tenueParCeProcessus = false;
    E etatFinal;
};

const QList<Parcours> parcours = {
    {"F-RECLAMEE", cheminAppareil, {}, Parcours::Aucune, false, E::Reclamee},
    {"F-OUVERTE", cheminAppareil, {E::Ouverte}, Parcours::Aucune, false, E::Ouverte},
    {"F-PAYEE", cheminAppareil, {E::Ouverte, E::Payee}, Parcours::Aucune, false, E::Payee},
    {"F-FERMETURE",
     cheminAppareil,
     {E::Ouverte, E::Payee, E::FermetureEnvoyee},
     Parcours::Aucune,
     false,
     E::FermetureEnvoyee},
    {"F-INCONNUE",
     cheminAppareil,
     {E::Ouverte, E::Payee, E::FermetureEnvoyee, E::IssueInconnue},
     Parcours::Aucune,
     false,
     E::IssueInconnue},
    {"F-SOUMISSION", cheminEmcf, {E::SoumissionEnvoyee}, Parcours::Aucune, false, E::SoumissionEnvoyee},
    {"F-SOUMISE", cheminEmcf, {E::SoumissionEnvoyee, E::Soumise}, Parcours::Aucune, false, E::Soumise},
    {"F-CONFIRMATION",
     cheminEmcf,
     {E::SoumissionEnvoyee, E::Soumise, E::ConfirmationEnvoyee},
     Parcours::Aucune,
     false,
     E::ConfirmationEnvoyee},
    {"F-TERMINEE",
     cheminAppareil,
     {E::Ouverte, E::Payee, E::FermetureEnvoyee},
     Parcours::Enregistree,
     false,
     E::Terminee},
    {"F-ABANDONNEE", cheminAppareil, {E::Abandonnee}, Parcours::Aucune, false, E::Abandonnee},
    {"F-ABANDON-OPERATEUR",
     cheminAppareil,
     {E::Ouverte, E::Payee},
     Parcours::AbandonOperateur,
     false,
     E::AbandonneeOperateur},
    {"F-EN-COURS", cheminAppareil, {E::Ouverte, E::Payee}, Parcours::Aucune, true, E::Payee},
};

QStringList references()
{
    QStringList r;
    for (const Parcours &p : parcours)
        r << p.reference;
    return r;
}

// Writes the sample register at `chemin`: one invoice in every state of the journal, each taken
// there through the register's policy, and one being certified by this live process.
void construireRegistre(const QString &chemin)
{
    Registre registre(connexionTest);
    QVERIFY2(registre.ouvrir(chemin), qPrintable(registre.erreur()));
    for (const Parcours &p : parcours) {
        const TitulaireExecution titulaire = p.tenueParCeProcessus ? executionCourante() : executionMorte();
        const QString destination = p.chemin == cheminEmcf ? serviceEmcf : portMcf;
        const Reclamation r = registre.reclamer(p.reference, "empreinte-" + p.reference, p.chemin,
                                                destination, titulaire, jamaisVivante);
        QVERIFY2(r.issue == Reclamation::Issue::Nouvelle, qPrintable(p.reference + ": " + r.erreur));
        for (E etat : p.etats) {
            const QString uid = etat == E::Soumise ? "UID-" + p.reference : QString();
            QVERIFY2(registre.changerEtat(p.reference, etat, titulaire, uid),
                     qPrintable(p.reference + " -> " + nomEtat(etat) + ": " + registre.erreur()));
        }
        if (p.fin == Parcours::Enregistree)
            QVERIFY(
                registre.enregistrer(p.reference, {"F;NIM;SIG", "12", "SIG", "NIM", "12/12 FV", "20260109"}));
        if (p.fin == Parcours::AbandonOperateur)
            QCOMPARE(registre.abandonner(p.reference, jamaisVivante).issue,
                     AbandonOperateur::Issue::Abandonnee);
        const auto ligne = registre.ligneJournal(p.reference);
        QVERIFY(ligne);
        QCOMPARE(nomEtat(ligne->etat), nomEtat(p.etatFinal));
    }
}

// Every column of every journal row of the sample, to tell what changed.
QStringList instantane(const QString &chemin)
{
    QStringList lignes;
    Registre registre(connexionTest);
    if (!registre.ouvrirExistant(chemin))
        return {"<registre illisible: " + registre.erreur() + ">"};
    for (const QString &reference : references()) {
        const auto l = registre.ligneJournal(reference);
        lignes << (l ? QStringList{l->reference, nomEtat(l->etat), l->chemin, l->destination, l->empreinte,
                                   l->uid, QString::number(l->titulaire.pid), l->titulaire.identite, l->cree,
                                   l->modifie, l->ouverture, l->paiement}
                           .join('|')
                     : reference + "|<absente>");
    }
    return lignes;
}

std::optional<LigneJournal> relire(const QString &chemin, const QString &reference)
{
    Registre registre(connexionTest);
    if (!registre.ouvrirExistant(chemin))
        return std::nullopt;
    return registre.ligneJournal(reference);
}

QByteArray lire(const QString &chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<illisible>");
}

bool ecrire(const QString &chemin, const QByteArray &contenu)
{
    QFile f(chemin);
    return f.open(QIODevice::WriteOnly) && f.write(contenu) == contenu.size();
}

// The dialog on the register `registre`, shown on the page of invoices in suspense.
struct Page
{
    explicit Page(const QTemporaryDir &dossier, const QString &registre)
        : dialogue(dossier.filePath("app.xml"))
    {
        dialogue.definirRegistre(registre);
        dialogue.show();
        onglets = dialogue.findChild<QTabWidget *>("tabWidget");
        page = dialogue.findChild<QWidget *>("suspens_tab");
        table = dialogue.findChild<QTableWidget *>("tableSuspens");
        etat = dialogue.findChild<QLabel *>("etatSuspens");
        detail = dialogue.findChild<QLabel *>("detailSuspens");
        abandonner = dialogue.findChild<QPushButton *>("abandonnerBtn");
        actualiser = dialogue.findChild<QPushButton *>("actualiserBtn");
    }

    bool complete() const { return onglets && page && table && etat && detail && abandonner && actualiser; }
    void afficher() { onglets->setCurrentWidget(page); }

    // The row of `reference`, -1 when it is not listed.
    int rangee(const QString &reference) const
    {
        for (int r = 0; r < table->rowCount(); ++r) {
            if (table->item(r, 0) && table->item(r, 0)->text() == reference)
                return r;
        }
        return -1;
    }

    QStringList cellules(int r) const
    {
        QStringList textes;
        for (int c = 0; c < table->columnCount(); ++c)
            textes << (table->item(r, c) ? table->item(r, c)->text() : "<vide>");
        return textes;
    }

    QStringList listees() const
    {
        QStringList r;
        for (int i = 0; i < table->rowCount(); ++i)
            r << cellules(i).value(0);
        return r;
    }

    Dialog dialogue;
    QTabWidget *onglets = nullptr;
    QWidget *page = nullptr;
    QTableWidget *table = nullptr;
    QLabel *etat = nullptr;
    QLabel *detail = nullptr;
    QPushButton *abandonner = nullptr;
    QPushButton *actualiser = nullptr;
};

} // namespace

void TestFacturesEnSuspens::initTestCase()
{
    // The "Depuis" column is in local time: the test runs at UTC+1, without summer time.
    qputenv("TZ", "WAT-1");
    QCOMPARE(QDateTime(QDate(2026, 1, 9), QTime(12, 0), Qt::UTC).toLocalTime().time(), QTime(13, 0));
}

void TestFacturesEnSuspens::liste_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<bool>("listee");
    QTest::addColumn<QString>("chemin");
    QTest::addColumn<QString>("etat");
    QTest::addColumn<bool>("abandonnable");

    const QString mcf = "MCF " + portMcf;
    const QString emcf = "e-MCF " + serviceEmcf;
    QTest::newRow("reclamee: listed, may be released") << "F-RECLAMEE" << true << mcf << "reclamee" << true;
    // The next run on the device settles these by itself: releasing one by hand would turn a close
    // whose codes were lost into a second certification.
    QTest::newRow("ouverte: listed, settled by the device, not offered")
        << "F-OUVERTE" << true << mcf << "ouverte" << false;
    QTest::newRow("payee: listed, settled by the device, not offered")
        << "F-PAYEE" << true << mcf << "payee" << false;
    QTest::newRow("fermeture envoyee: listed, settled by the device, not offered")
        << "F-FERMETURE" << true << mcf << "fermeture envoyee" << false;
    QTest::newRow("issue inconnue: listed, may be released")
        << "F-INCONNUE" << true << mcf << "issue inconnue" << true;
    QTest::newRow("soumission envoyee (e-MCF): listed, may be released")
        << "F-SOUMISSION" << true << emcf << "soumission envoyee" << true;
    QTest::newRow("soumise (e-MCF): listed, may be released")
        << "F-SOUMISE" << true << emcf << "soumise" << true;
    QTest::newRow("confirmation envoyee (e-MCF): listed, may be released")
        << "F-CONFIRMATION" << true << emcf << "confirmation envoyee" << true;
    QTest::newRow("terminee: not listed") << "F-TERMINEE" << false << ""
                                          << "" << false;
    QTest::newRow("abandonnee: not listed") << "F-ABANDONNEE" << false << ""
                                            << "" << false;
    QTest::newRow("abandonnee par l'operateur: listed, not released twice")
        << "F-ABANDON-OPERATEUR" << true << mcf << "abandonnee par l'operateur" << false;
    QTest::newRow("payee, held by a live run: listed, not released")
        << "F-EN-COURS" << true << mcf << "payee" << false;
}

void TestFacturesEnSuspens::liste()
{
    QFETCH(QString, reference);
    QFETCH(bool, listee);
    QFETCH(QString, chemin);
    QFETCH(QString, etat);
    QFETCH(bool, abandonnable);

    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QString registre = dossier.filePath("mcf.s3db");
    construireRegistre(registre);
    if (QTest::currentTestFailed())
        return;
    const QStringList avant = instantane(registre);

    Page page(dossier, registre);
    QVERIFY(page.complete());
    QCOMPARE(page.onglets->currentIndex(), 0);
    page.afficher();

    // Twelve invoices, two of them finished.
    QCOMPARE(page.table->rowCount(), 10);
    QCOMPARE(page.etat->text(), QString("10 factures en suspens."));
    // The dialog does not keep the register open between two actions, nor leaves files beside it.
    QCOMPARE(QSqlDatabase::connectionNames(), QStringList{});
    QCOMPARE(QDir(dossier.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"mcf.s3db"});

    const int r = page.rangee(reference);
    QCOMPARE(r >= 0, listee);
    if (!listee)
        return;
    const auto ligne = relire(registre, reference);
    QVERIFY(ligne);
    const QStringList cellules = page.cellules(r);
    QCOMPARE(cellules.mid(0, 3), (QStringList{reference, chemin, etat}));
    QVERIFY(!cellules.at(3).isEmpty());
    QCOMPARE(cellules.at(4), conseilOperateur(*ligne));
    QVERIFY(!cellules.at(4).isEmpty());

    QVERIFY(!page.abandonner->isEnabled()); // nothing chosen yet
    QCOMPARE(page.detail->text(),
             QString("Choisissez une facture pour lire ce qu'il faut vérifier avant de l'abandonner."));
    page.table->selectRow(r);
    QCOMPARE(page.abandonner->isEnabled(), abandonnable);
    // Below the table, the chosen invoice's whole advice, and why a live run's cannot be released.
    const QString detail = page.detail->text();
    QVERIFY2(
        detail.startsWith(reference + ", " + chemin + ": " + etat + " depuis le " + cellules.at(3) + ".") &&
            detail.contains("À vérifier: " + conseilOperateur(*ligne)),
        qPrintable(detail));
    const QString enCours = QString("En cours de certification par une autre exécution (processus %1)")
                                .arg(QCoreApplication::applicationPid());
    QCOMPARE(detail.contains(enCours), reference == "F-EN-COURS");
    if (abandonnable)
        return;
    // A disabled button asks nothing and changes nothing.
    Repondeur repondeur({});
    QTest::mouseClick(page.abandonner, Qt::LeftButton);
    QTest::qWait(50);
    QCOMPARE(repondeur.boitesVues, QStringList{});
    QCOMPARE(instantane(registre), avant);
}

void TestFacturesEnSuspens::abandon_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("reponse"); // "Oui", "Non", or "-" for a question closed unanswered
    QTest::addColumn<QString>("etatApres");
    QTest::addColumn<bool>("resteListee");

    const QList<std::tuple<const char *, const char *, E, bool>> cas = {
        {"F-RECLAMEE", "reclamee", E::Abandonnee, false},
        {"F-INCONNUE", "issue inconnue", E::Abandonnee, false},
        {"F-SOUMISSION", "soumission envoyee", E::Abandonnee, false},
        {"F-SOUMISE", "soumise", E::Abandonnee, false},
        {"F-CONFIRMATION", "confirmation envoyee", E::Abandonnee, false},
    };
    for (const auto &[reference, etat, apres, reste] : cas) {
        QTest::addRow("%s, confirmed: becomes %s", etat, qPrintable(nomEtat(apres)))
            << reference << "Oui" << nomEtat(apres) << reste;
        QTest::addRow("%s, declined: unchanged", etat) << reference << "Non" << QString(etat) << true;
    }
    QTest::newRow("issue inconnue, question closed: unchanged") << "F-INCONNUE"
                                                                << "-"
                                                                << "issue inconnue" << true;
}

void TestFacturesEnSuspens::abandon()
{
    QFETCH(QString, reference);
    QFETCH(QString, reponse);
    QFETCH(QString, etatApres);
    QFETCH(bool, resteListee);

    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QString registre = dossier.filePath("mcf.s3db");
    construireRegistre(registre);
    if (QTest::currentTestFailed())
        return;
    const QStringList avant = instantane(registre);
    const auto ligneAvant = relire(registre, reference);
    QVERIFY(ligneAvant);

    Page page(dossier, registre);
    QVERIFY(page.complete());
    page.afficher();
    const int r = page.rangee(reference);
    QVERIFY(r >= 0);
    page.table->selectRow(r);
    QVERIFY(page.abandonner->isEnabled());

    const bool confirme = reponse == "Oui";
    QList<Repondeur::Reponse> reponses = {{"confirmationAbandon", reponse}};
    if (confirme)
        reponses.append(Repondeur::Reponse{"resultatAbandon", "OK"});
    Repondeur repondeur(reponses);
    QTest::mouseClick(page.abandonner, Qt::LeftButton);

    QCOMPARE(repondeur.inattendues, QStringList{});
    QCOMPARE(repondeur.boitesVues, confirme ? QStringList({"confirmationAbandon", "resultatAbandon"})
                                            : QStringList{"confirmationAbandon"});
    const QString question = repondeur.textesVus.value(0);
    QVERIFY2(question.contains(reference) && question.contains("certifiera de nouveau") &&
                 question.contains(ligneAvant->chemin == cheminEmcf ? "compte e-MCF" : "sur le MCF"),
             qPrintable(question));

    const auto ligneApres = relire(registre, reference);
    QVERIFY(ligneApres);
    QCOMPARE(nomEtat(ligneApres->etat), etatApres);
    QCOMPARE(QSqlDatabase::connectionNames(), QStringList{});
    if (!confirme) {
        QCOMPARE(instantane(registre), avant);
        QCOMPARE(page.rangee(reference), r);
        QCOMPARE(page.cellules(r).at(2), etatApres);
        return;
    }

    AbandonOperateur attendu;
    attendu.issue = AbandonOperateur::Issue::Abandonnee;
    attendu.precedent = ligneAvant->etat;
    attendu.etat = *etatDepuisNom(etatApres);
    QCOMPARE(repondeur.textesVus.value(1), texteAbandon(reference, attendu).trimmed());
    QCOMPARE(repondeur.iconesVues.value(1), QMessageBox::Information);

    // Only that row changed, and only its state and time.
    QStringList apres = instantane(registre);
    const int i = int(references().indexOf(reference));
    QVERIFY(ligneApres->modifie >= ligneAvant->modifie);
    LigneJournal attendue = *ligneAvant;
    attendue.etat = ligneApres->etat;
    attendue.modifie = ligneApres->modifie;
    QStringList avantModifie = avant;
    avantModifie[i] = QStringList{attendue.reference,
                                  nomEtat(attendue.etat),
                                  attendue.chemin,
                                  attendue.destination,
                                  attendue.empreinte,
                                  attendue.uid,
                                  QString::number(attendue.titulaire.pid),
                                  attendue.titulaire.identite,
                                  attendue.cree,
                                  attendue.modifie,
                                  attendue.ouverture,
                                  attendue.paiement}
                          .join('|');
    QCOMPARE(apres, avantModifie);

    // The list is read again: the row is gone or shows its new state, and cannot be released twice.
    const int rApres = page.rangee(reference);
    QCOMPARE(rApres >= 0, resteListee);
    QCOMPARE(page.table->rowCount(), resteListee ? 10 : 9);
    QVERIFY(!page.abandonner->isEnabled());
    if (resteListee) {
        QCOMPARE(page.cellules(rApres).at(2), etatApres);
        page.table->selectRow(rApres);
        QVERIFY(!page.abandonner->isEnabled());
    }
}

void TestFacturesEnSuspens::abandonDevenuImpossible_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("entreTemps");

    QTest::newRow("taken over by a live run meanwhile: left to it") << "F-SOUMISE"
                                                                    << "reprise";
    QTest::newRow("released from the console meanwhile: nothing to do") << "F-RECLAMEE"
                                                                        << "abandon";
    QTest::newRow("register removed meanwhile: reported, not created again") << "F-INCONNUE"
                                                                             << "suppression";
}

// The list is only what the register held when it was read: the release itself decides on what
// the register holds when it is asked, and says so.
void TestFacturesEnSuspens::abandonDevenuImpossible()
{
    QFETCH(QString, reference);
    QFETCH(QString, entreTemps);

    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QString registre = dossier.filePath("mcf.s3db");
    construireRegistre(registre);
    if (QTest::currentTestFailed())
        return;

    Page page(dossier, registre);
    QVERIFY(page.complete());
    page.afficher();
    const int r = page.rangee(reference);
    QVERIFY(r >= 0);
    page.table->selectRow(r);
    QVERIFY(page.abandonner->isEnabled());

    QString attendu;
    E etatAttendu = E::Reclamee;
    if (entreTemps == "reprise") {
        Registre autre(connexionTest);
        QVERIFY(autre.ouvrir(registre));
        QCOMPARE(
            autre.reclamer(reference, "e", cheminAppareil, portMcf, executionCourante(), jamaisVivante).issue,
            Reclamation::Issue::Nouvelle);
        AbandonOperateur tenue;
        tenue.issue = AbandonOperateur::Issue::TenueAilleurs;
        tenue.titulaire = executionCourante();
        attendu = texteAbandon(reference, tenue).trimmed();
        etatAttendu = E::Soumise;
    } else if (entreTemps == "abandon") {
        Registre autre(connexionTest);
        QVERIFY(autre.ouvrirExistant(registre));
        QCOMPARE(abandonnerFacture(autre, reference).issue, AbandonOperateur::Issue::Abandonnee);
        AbandonOperateur aucune;
        aucune.issue = AbandonOperateur::Issue::Aucune;
        attendu = texteAbandon(reference, aucune).trimmed();
        etatAttendu = E::Abandonnee;
    } else {
        QVERIFY(QFile::remove(registre));
    }

    Repondeur repondeur({{"confirmationAbandon", "Oui"}, {"resultatAbandon", "OK"}});
    QTest::mouseClick(page.abandonner, Qt::LeftButton);

    QCOMPARE(repondeur.inattendues, QStringList{});
    QCOMPARE(repondeur.boitesVues, QStringList({"confirmationAbandon", "resultatAbandon"}));
    const QString message = repondeur.textesVus.value(1);
    // Nothing was released: never shown as a success.
    QCOMPARE(repondeur.iconesVues.value(1), QMessageBox::Warning);
    if (entreTemps == "suppression") {
        QVERIFY2(message.startsWith("Registre inutilisable (") && message.contains(registre),
                 qPrintable(message));
        QVERIFY(!QFileInfo::exists(registre));
        QCOMPARE(QDir(dossier.path()).entryList(QDir::Files | QDir::Hidden), QStringList{});
        QVERIFY(page.etat->text().startsWith("Registre illisible: "));
        QCOMPARE(page.table->rowCount(), 0);
        return;
    }
    QCOMPARE(message, attendu);
    const auto ligne = relire(registre, reference);
    QVERIFY(ligne);
    QCOMPARE(nomEtat(ligne->etat), nomEtat(etatAttendu));
    if (entreTemps == "reprise")
        QVERIFY(ligne->titulaire == executionCourante());
}

void TestFacturesEnSuspens::registreInutilisable_data()
{
    QTest::addColumn<QString>("sorte");

    QTest::newRow("missing file: stays missing") << "absent";
    QTest::newRow("garbage bytes: left as they are") << "octets";
    QTest::newRow("folder of that name: left alone") << "dossier";
}

void TestFacturesEnSuspens::registreInutilisable()
{
    QFETCH(QString, sorte);

    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QString registre = dossier.filePath("mcf.s3db");
    QByteArray contenu;
    if (sorte == "octets") {
        for (int i = 0; i < 4096; ++i)
            contenu.append(char((i * 37 + 11) % 256));
        QVERIFY(ecrire(registre, contenu));
    } else if (sorte == "dossier") {
        QVERIFY(QDir().mkpath(registre));
    }
    const QStringList fichiers =
        QDir(dossier.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

    Page page(dossier, registre);
    QVERIFY(page.complete());
    page.afficher();
    for (int fois = 0; fois < 2; ++fois) {
        QVERIFY2(page.etat->text().startsWith("Registre illisible: ") &&
                     page.etat->text().size() > QString("Registre illisible: ").size(),
                 qPrintable(page.etat->text()));
        QCOMPARE(page.table->rowCount(), 0);
        QVERIFY(!page.abandonner->isEnabled());
        page.actualiser->click();
    }
    if (sorte == "absent")
        QVERIFY(page.etat->text().contains(registre));

    QCOMPARE(QDir(dossier.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             fichiers);
    if (sorte == "absent")
        QVERIFY(!QFileInfo::exists(registre));
    else if (sorte == "dossier")
        QVERIFY(QFileInfo(registre).isDir() && QDir(registre).isEmpty());
    else
        QCOMPARE(lire(registre), contenu);
    QCOMPARE(QSqlDatabase::connectionNames(), QStringList{});
}

void TestFacturesEnSuspens::aucuneFacture_data()
{
    QTest::addColumn<QStringList>("terminees");
    QTest::addColumn<bool>("vide"); // an empty file, as SQLite leaves a register never written to

    QTest::newRow("new register") << QStringList{} << false;
    QTest::newRow("only finished invoices") << QStringList{"F-TERMINEE", "F-ABANDONNEE"} << false;
    QTest::newRow("empty file: no journal, nothing waits, still empty") << QStringList{} << true;
}

void TestFacturesEnSuspens::aucuneFacture()
{
    QFETCH(QStringList, terminees);
    QFETCH(bool, vide);

    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QString registre = dossier.filePath("mcf.s3db");
    if (vide)
        QVERIFY(ecrire(registre, QByteArray()));
    else {
        Registre r(connexionTest);
        QVERIFY(r.ouvrir(registre));
        const TitulaireExecution titulaire = executionMorte();
        for (const QString &reference : terminees) {
            QCOMPARE(r.reclamer(reference, "e", cheminAppareil, portMcf, titulaire, jamaisVivante).issue,
                     Reclamation::Issue::Nouvelle);
            if (reference == "F-TERMINEE") {
                for (E etat : {E::Ouverte, E::Payee, E::FermetureEnvoyee})
                    QVERIFY(r.changerEtat(reference, etat, titulaire));
                QVERIFY(r.enregistrer(reference, {"F;N;S", "1", "S", "N", "1/1 FV", "20260109"}));
            } else {
                QVERIFY(r.changerEtat(reference, E::Abandonnee, titulaire));
            }
        }
    }

    Page page(dossier, registre);
    QVERIFY(page.complete());
    page.afficher();
    QCOMPARE(page.etat->text(), QString("Aucune facture en attente de décision."));
    QCOMPARE(page.detail->text(), QString());
    QCOMPARE(page.table->rowCount(), 0);
    QVERIFY(!page.abandonner->isEnabled());
    if (vide)
        QCOMPARE(QFileInfo(registre).size(), 0);
}

void TestFacturesEnSuspens::depuis_data()
{
    QTest::addColumn<QString>("modifie");
    QTest::addColumn<QString>("affiche");

    // The test runs at UTC+1.
    QTest::newRow("late UTC evening is the next local day") << "2026-01-09T23:30:05.123Z"
                                                            << "10/01/2026 00:30:05";
    QTest::newRow("midday") << "2025-07-01T11:00:00.000Z"
                            << "01/07/2025 12:00:00";
    QTest::newRow("no zone: taken as UTC") << "2026-01-09T10:00:00"
                                           << "09/01/2026 11:00:00";
    QTest::newRow("unreadable time shown as written") << "hier soir"
                                                      << "hier soir";
    QTest::newRow("no time") << ""
                             << "";
}

void TestFacturesEnSuspens::depuis()
{
    QFETCH(QString, modifie);
    QFETCH(QString, affiche);

    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QString registre = dossier.filePath("mcf.s3db");
    {
        QString erreur;
        auto stockage = StockageSqlite::ouvrir(connexionTest, registre,
                                               StockageSqlite::Ouverture::CreerOuMettreAJour, erreur);
        QVERIFY2(stockage, qPrintable(erreur));
        LigneJournal ligne;
        ligne.reference = "F-HEURE";
        ligne.etat = E::IssueInconnue;
        ligne.chemin = cheminAppareil;
        ligne.destination = portMcf;
        ligne.titulaire = executionMorte();
        ligne.cree = "2026-01-09T08:00:00.000Z";
        ligne.modifie = modifie;
        QVERIFY2(stockage->ecrireLigne(ligne), qPrintable(stockage->erreur()));
    }

    Page page(dossier, registre);
    QVERIFY(page.complete());
    page.afficher();
    QCOMPARE(page.listees(), QStringList{"F-HEURE"});
    QCOMPARE(page.cellules(0).at(3), affiche);
}

// The page reads the register each time it is shown and on "Actualiser", not in between.
void TestFacturesEnSuspens::relectureAChaqueAffichage()
{
    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QString registre = dossier.filePath("mcf.s3db");
    const TitulaireExecution titulaire = executionMorte();
    const auto reclamer = [&](const QString &reference) {
        Registre r(connexionTest);
        return r.ouvrir(registre) &&
               r.reclamer(reference, "e", cheminAppareil, portMcf, titulaire, jamaisVivante).issue ==
                   Reclamation::Issue::Nouvelle;
    };
    QVERIFY(reclamer("F-1"));

    Page page(dossier, registre);
    QVERIFY(page.complete());
    QCOMPARE(page.table->rowCount(), 0); // not read while another tab is shown
    page.afficher();
    QCOMPARE(page.listees(), QStringList{"F-1"});
    QCOMPARE(page.etat->text(), QString("1 facture en suspens."));

    QVERIFY(reclamer("F-2"));
    page.onglets->setCurrentIndex(0);
    page.afficher();
    QCOMPARE(page.listees(), QStringList({"F-1", "F-2"}));

    QVERIFY(reclamer("F-3"));
    QCOMPARE(page.listees(), QStringList({"F-1", "F-2"}));
    page.actualiser->click();
    QCOMPARE(page.listees(), QStringList({"F-1", "F-2", "F-3"}));
}

// Unless told otherwise the page reads mcf.s3db beside the program, and never creates it.
void TestFacturesEnSuspens::registreParDefaut()
{
    const QString attendu = QCoreApplication::applicationDirPath() + "/mcf.s3db";
    if (QFileInfo::exists(attendu))
        QSKIP("a register lies beside the test program");
    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    Dialog dialogue(dossier.filePath("app.xml"));
    dialogue.show();
    auto *onglets = dialogue.findChild<QTabWidget *>("tabWidget");
    QVERIFY(onglets);
    onglets->setCurrentWidget(dialogue.findChild<QWidget *>("suspens_tab"));
    auto *etat = dialogue.findChild<QLabel *>("etatSuspens");
    QVERIFY(etat);
    QVERIFY2(etat->text().startsWith("Registre illisible: ") && etat->text().contains(attendu),
             qPrintable(etat->text()));
    QVERIFY(!QFileInfo::exists(attendu));
}

QTEST_MAIN(TestFacturesEnSuspens)
#include "tst_facturesensuspens.moc"
