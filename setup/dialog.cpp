#include "dialog.h"
#include "ui_dialog.h"

#include "arretserveur.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>

#include <algorithm>

namespace {

// Written in place of a timeout below 1 second.
constexpr int timeoutParDefaut = 15;

QString interrupteur(bool actif)
{
    return actif ? QStringLiteral("1") : QStringLiteral("0");
}

// Selects the item whose text equals `valeur` exactly. A value the list does not know (an empty
// one included) is added to it as it is and selected, so that OK writes back what was read instead
// of changing a setting the user did not touch.
void selectionnerTexte(QComboBox *combo, const QString &valeur)
{
    int index = combo->findText(valeur, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        combo->addItem(valeur);
        index = combo->count() - 1;
    }
    combo->setCurrentIndex(index);
}

// A file worth keeping: it exists and holds more than blanks (or cannot even be read).
bool contenuAGarder(const QString &chemin)
{
    QFile fichier(chemin);
    if (!QFileInfo(chemin).isFile())
        return false;
    if (!fichier.open(QIODevice::ReadOnly))
        return true;
    return !fichier.readAll().trimmed().isEmpty();
}

// A free name beside `chemin` for a copy of the unreadable file.
QString cheminCopie(const QString &chemin)
{
    const QString base = chemin + QStringLiteral(".illisible-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString candidat = base;
    for (int n = 2; QFile::exists(candidat); ++n)
        candidat = base + QStringLiteral("-%1").arg(n);
    return candidat;
}

} // namespace

Dialog::Dialog(QWidget *parent) : Dialog(QStringLiteral("app.xml"), parent) {}

Dialog::Dialog(const QString &cheminParametres, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::Dialog>()), m_chemin(cheminParametres)
{
    ui->setupUi(this);
    // The standard buttons are labelled in the language of the Qt translations found at run
    // time; the editor is French whatever is installed.
    ui->buttonBox->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    ui->buttonBox->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
    afficherPolice(QStringLiteral("Lucida Console"));
    masquerSecret(ui->jeton, ui->afficherJeton);
    masquerSecret(ui->password, ui->afficherPassword);
    masquerSecret(ui->motDePasseRegistre, ui->afficherMotDePasseRegistre);
    m_dossierInstallation = QCoreApplication::applicationDirPath();
    preparerPageSuspens();
    preparerPageCertifiees();

    m_fichier = lireFichierParametres(m_chemin);
    if (m_fichier.etat == EtatParametres::Charge) {
        charger(m_fichier);
        const ParametresMoteur moteur = parametresMoteur(m_fichier);
        if (!moteur.registre.isEmpty()) {
            EmplacementRegistre e;
            e.adresse = moteur.registre;
            e.motDePasse = moteur.motDePasseRegistre;
            e.delaiConnexion = moteur.delaiConnexionRegistre;
            e.delaiRequete = moteur.delaiRequeteRegistre;
            m_suspens.definirEmplacement(e);
        }
    } else {
        m_fichierIllisible = contenuAGarder(m_chemin);
        m_fichier = {};
    }
}

Dialog::~Dialog() = default;

// Secrets are hidden as they are typed; the box beside the field shows them on demand.
void Dialog::masquerSecret(QLineEdit *champ, QCheckBox *afficher)
{
    champ->setEchoMode(QLineEdit::Password);
    afficher->setChecked(false);
    connect(afficher, &QCheckBox::toggled, champ,
            [champ](bool visible) { champ->setEchoMode(visible ? QLineEdit::Normal : QLineEdit::Password); });
}

// Shows the family name as written, even when that font is not installed on this machine: the
// documents are printed where the renderer runs, which may have fonts this one lacks.
void Dialog::afficherPolice(const QString &famille)
{
    const int index = ui->fontComboBox->findText(famille, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        ui->fontComboBox->setCurrentIndex(index);
    ui->fontComboBox->setEditText(famille);
}

void Dialog::charger(const FichierParametres &fichier)
{
    const auto valeur = [&fichier](const QString &cle) { return fichier.valeur(cle); };

    const QList<QPair<QString, QLineEdit *>> textes = {
        {cles::entreprise, ui->entreprise},
        {cles::adresse, ui->adresse},
        {cles::rccm, ui->rccm},
        {cles::ifu, ui->ifu},
        {cles::telephone, ui->telephone},
        {cles::email, ui->email},
        {cles::message, ui->message},
        {cles::logo, ui->logo},
        {cles::isf, ui->isf},
        {cles::dossier, ui->dossier},
        {cles::filtre, ui->filtre},
        {cles::portMCF, ui->portMCF},
        {cles::serveurMCF, ui->serveurMCF},
        {cles::jeton, ui->jeton},
        {cles::encodage, ui->encodage},
        {cles::host, ui->serveur},
        {cles::port, ui->port},
        {cles::utilisateur, ui->utilisateur},
        {cles::password, ui->password},
        {cles::registre, ui->registre},
        {cles::motDePasseRegistre, ui->motDePasseRegistre},
    };
    for (const auto &[cle, champ] : textes)
        champ->setText(valeur(cle));

    selectionnerTexte(ui->pays, valeur(cles::pays));
    selectionnerTexte(ui->modePrix, valeur(cles::modePrix));
    selectionnerTexte(ui->modeMCF, valeur(cles::modeMCF));

    // An index outside the list keeps the initial item rather than leaving the box with no
    // selection, which would be saved as -1.
    const int mode = versEntier(valeur(cles::mode));
    if (mode >= 0 && mode < ui->mode->count())
        ui->mode->setCurrentIndex(mode);

    const QList<QPair<QString, QCheckBox *>> cases = {
        {cles::logoTop, ui->logoTop},
        {cles::economieEspace, ui->economieEspace},
        {cles::suppression, ui->suppression},
        {cles::retraiterExistant, ui->retraiterExistant},
        {cles::transfererSortie, ui->transfererSortie},
        {cles::optimize, ui->optimize},
    };
    for (const auto &[cle, champ] : cases)
        champ->setChecked(versInterrupteur(valeur(cle)));

    const QString police = valeur(cles::fontName);
    if (!police.isEmpty())
        afficherPolice(police);

    const int taille = versEntier(valeur(cles::fontSize));
    if (taille != 0)
        ui->fontSize->setValue(taille); // the spin box keeps it within its range

    int timeout = versEntier(valeur(cles::timeout));
    if (timeout < 1)
        timeout = timeoutParDefaut;
    ui->timeout->setValue(timeout);
}

Attributs Dialog::valeursFormulaire() const
{
    const int timeout = ui->timeout->value() < 1 ? timeoutParDefaut : ui->timeout->value();
    return {
        {cles::pays, ui->pays->currentText()},
        {cles::isf, ui->isf->text()},
        {cles::modePrix, ui->modePrix->currentText()},
        {cles::modeMCF, ui->modeMCF->currentText()},
        {cles::jeton, ui->jeton->text()},
        {cles::entreprise, ui->entreprise->text()},
        {cles::adresse, ui->adresse->text()},
        {cles::telephone, ui->telephone->text()},
        {cles::email, ui->email->text()},
        {cles::message, ui->message->text()},
        {cles::mode, QString::number(ui->mode->currentIndex())},
        {cles::ifu, ui->ifu->text()},
        {cles::rccm, ui->rccm->text()},
        {cles::portMCF, ui->portMCF->text()},
        {cles::serveurMCF, ui->serveurMCF->text()},
        {cles::filtre, ui->filtre->text()},
        {cles::suppression, interrupteur(ui->suppression->isChecked())},
        {cles::retraiterExistant, interrupteur(ui->retraiterExistant->isChecked())},
        {cles::transfererSortie, interrupteur(ui->transfererSortie->isChecked())},
        {cles::dossier, ui->dossier->text()},
        {cles::encodage, ui->encodage->text()},
        {cles::logo, ui->logo->text()},
        {cles::fontName, ui->fontComboBox->currentText()},
        {cles::fontSize, QString::number(ui->fontSize->value())},
        {cles::host, ui->serveur->text()},
        {cles::port, ui->port->text()},
        {cles::utilisateur, ui->utilisateur->text()},
        {cles::password, ui->password->text()},
        {cles::timeout, QString::number(timeout)},
        {cles::optimize, interrupteur(ui->optimize->isChecked())},
        {cles::logoTop, interrupteur(ui->logoTop->isChecked())},
        {cles::economieEspace, interrupteur(ui->economieEspace->isChecked())},
        {cles::registre, ui->registre->text().trimmed()},
        {cles::motDePasseRegistre, ui->motDePasseRegistre->text()},
    };
}

bool Dialog::accepterRemplacementIllisible()
{
    QMessageBox question(QMessageBox::Warning, windowTitle(),
                         QStringLiteral("Le fichier %1 est illisible: le remplacer par les valeurs de ce "
                                        "formulaire ferait perdre son contenu.\n\nEnregistrer d'abord une "
                                        "copie de l'ancien fichier à côté de lui ?")
                             .arg(QDir::toNativeSeparators(QFileInfo(m_chemin).absoluteFilePath())),
                         QMessageBox::NoButton, this);
    question.setObjectName(QStringLiteral("fichierIllisible"));
    QPushButton *copier =
        question.addButton(QStringLiteral("Copier puis enregistrer"), QMessageBox::AcceptRole);
    copier->setObjectName(QStringLiteral("copierPuisEnregistrer"));
    QPushButton *annuler = question.addButton(QStringLiteral("Ne pas enregistrer"), QMessageBox::RejectRole);
    annuler->setObjectName(QStringLiteral("nePasEnregistrer"));
    question.setDefaultButton(annuler);
    question.exec();
    if (question.clickedButton() != copier)
        return false;

    const QString copie = cheminCopie(m_chemin);
    if (!QFile::copy(m_chemin, copie)) {
        QMessageBox echec(QMessageBox::Critical, windowTitle(),
                          QStringLiteral("La copie %1 n'a pas pu être écrite: app.xml n'est pas remplacé.")
                              .arg(QDir::toNativeSeparators(copie)),
                          QMessageBox::Ok, this);
        echec.setObjectName(QStringLiteral("copieImpossible"));
        echec.exec();
        return false;
    }
    return true;
}

void Dialog::on_buttonBox_accepted()
{
    // An unreadable file is replaced only once the user has chosen to keep a copy of it; otherwise
    // the dialog stays open and the file untouched.
    if (m_fichierIllisible && !accepterRemplacementIllisible())
        return;
    // A file that cannot be written leaves the old one whole; the dialog closes all the same.
    enregistrerFichier(m_chemin,
                       documentParametres(fusionnerAttributs(valeursFormulaire(), m_fichier.attributs)));
    accept();
}

void Dialog::on_buttonBox_rejected()
{
    reject();
}

void Dialog::on_stopBtn_clicked()
{
    QMessageBox confirmation(QMessageBox::Question, ui->stopBtn->text(),
                             QStringLiteral("Arrêter le serveur MCF ? Les fichiers qu'il traite en ce moment "
                                            "ne seront pas traités."),
                             QMessageBox::Yes | QMessageBox::No, this);
    confirmation.setObjectName(QStringLiteral("confirmationArret"));
    confirmation.setDefaultButton(QMessageBox::No);
    if (confirmation.exec() != QMessageBox::Yes)
        return;

    const CommandeSysteme commande = commandeArretServeur(m_dossierInstallation);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const IssueArret issue = arreterServeur(commande);
    QApplication::restoreOverrideCursor();
    QMessageBox resultat(issue == IssueArret::Impossible ? QMessageBox::Warning : QMessageBox::Information,
                         ui->stopBtn->text(), messageArret(issue, commande), QMessageBox::Ok, this);
    resultat.setObjectName(QStringLiteral("resultatArret"));
    resultat.exec();
}

void Dialog::on_testerRegistre_clicked()
{
    // The register the form names now, with the time limits of the file (the engine's own).
    const ParametresMoteur enregistres = parametresMoteur(m_fichier);
    EmplacementRegistre e;
    e.fichier = FacturesEnSuspens::cheminParDefaut();
    e.adresse = ui->registre->text().trimmed();
    e.motDePasse = ui->motDePasseRegistre->text();
    e.delaiConnexion = enregistres.delaiConnexionRegistre;
    e.delaiRequete = enregistres.delaiRequeteRegistre;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ui->etatRegistre->setText(FacturesEnSuspens::tester(e));
    QApplication::restoreOverrideCursor();
    // The page of invoices in suspense reads the register the form names.
    m_suspens.definirEmplacement(e);
}

void Dialog::preparerPageSuspens()
{
    // One line per invoice; the chosen one's whole advice is shown below the table.
    QHeaderView *entete = ui->tableSuspens->horizontalHeader();
    entete->setSectionResizeMode(QHeaderView::Interactive);
    entete->setStretchLastSection(true);
    connect(ui->tableSuspens, &QTableWidget::itemSelectionChanged, this, &Dialog::choixSuspensChange);
    // Read each time the page is shown, so that the register is never held open for nothing and
    // what is shown is what the engine left last.
    connect(ui->tabWidget, &QTabWidget::currentChanged, this, [this](int index) {
        if (ui->tabWidget->widget(index) == ui->suspens_tab)
            actualiserSuspens();
    });
}

void Dialog::actualiserSuspens()
{
    const ListeEnSuspens liste = m_suspens.lire();
    m_facturesSuspens = liste.factures;
    QTableWidget *table = ui->tableSuspens;
    table->clearSelection();
    table->setRowCount(0);
    table->setRowCount(int(m_facturesSuspens.size()));
    for (int rangee = 0; rangee < m_facturesSuspens.size(); ++rangee) {
        const FactureEnSuspens &facture = m_facturesSuspens.at(rangee);
        const QStringList textes = {facture.ligne.reference, facture.chemin, facture.etat, facture.depuis,
                                    facture.conseil};
        for (int colonne = 0; colonne < textes.size(); ++colonne) {
            auto *cellule = new QTableWidgetItem(textes.at(colonne));
            cellule->setToolTip(textes.at(colonne));
            table->setItem(rangee, colonne, cellule);
        }
    }
    // A long endpoint must not push the advice out of sight: it is shortened, its tooltip whole.
    for (int colonne = 0; colonne < 4; ++colonne)
        table->resizeColumnToContents(colonne);
    const int cheminMax = table->fontMetrics().horizontalAdvance(QStringLiteral("e-MCF https://exemple.bj"));
    if (table->columnWidth(1) > cheminMax)
        table->setColumnWidth(1, cheminMax);
    elargirPourSuspens();

    if (!liste.lisible)
        ui->etatSuspens->setText(QStringLiteral("Registre illisible: %1").arg(liste.erreur));
    else if (m_facturesSuspens.isEmpty())
        ui->etatSuspens->setText(QStringLiteral("Aucune facture en attente de décision."));
    else
        ui->etatSuspens->setText(
            m_facturesSuspens.size() == 1
                ? QStringLiteral("1 facture en suspens.")
                : QStringLiteral("%1 factures en suspens.").arg(m_facturesSuspens.size()));
    choixSuspensChange();
}

// The form tabs need less room than the table: the dialog grows, within the screen, when the page
// is shown so that the advice column can be read beside the others. It never shrinks.
void Dialog::elargirPourSuspens()
{
    QTableWidget *table = ui->tableSuspens;
    if (!isVisible() || table->rowCount() == 0)
        return;
    int utile = 2 * table->frameWidth() + table->verticalScrollBar()->sizeHint().width() +
                table->fontMetrics().averageCharWidth() * 40;
    for (int colonne = 0; colonne < 4; ++colonne)
        utile += table->columnWidth(colonne);
    int cible = width() + utile - table->width();
    if (screen())
        cible = std::min(cible, screen()->availableGeometry().width() - 40);
    if (cible > width())
        resize(cible, height());
}

int Dialog::factureChoisie() const
{
    const QModelIndexList rangees = ui->tableSuspens->selectionModel()->selectedRows();
    if (rangees.isEmpty() || rangees.first().row() >= m_facturesSuspens.size())
        return -1;
    return rangees.first().row();
}

void Dialog::choixSuspensChange()
{
    const int rangee = factureChoisie();
    ui->abandonnerBtn->setEnabled(rangee >= 0 && m_facturesSuspens.at(rangee).abandonnable);
    if (rangee >= 0)
        ui->detailSuspens->setText(FacturesEnSuspens::texteDetail(m_facturesSuspens.at(rangee)));
    else if (!m_facturesSuspens.isEmpty())
        ui->detailSuspens->setText(
            QStringLiteral("Choisissez une facture pour lire ce qu'il faut vérifier avant de l'abandonner."));
    else
        ui->detailSuspens->clear();
}

void Dialog::on_actualiserBtn_clicked()
{
    actualiserSuspens();
}

void Dialog::on_abandonnerBtn_clicked()
{
    const int rangee = factureChoisie();
    if (rangee < 0 || !m_facturesSuspens.at(rangee).abandonnable)
        return;
    const LigneJournal ligne = m_facturesSuspens.at(rangee).ligne;
    const QString titre = ui->tabWidget->tabText(ui->tabWidget->indexOf(ui->suspens_tab));

    QMessageBox confirmation(QMessageBox::Question, titre, FacturesEnSuspens::questionAbandon(ligne),
                             QMessageBox::Yes | QMessageBox::No, this);
    confirmation.setObjectName(QStringLiteral("confirmationAbandon"));
    confirmation.button(QMessageBox::Yes)->setText(QStringLiteral("Oui"));
    confirmation.button(QMessageBox::No)->setText(QStringLiteral("Non"));
    confirmation.setDefaultButton(QMessageBox::No);
    if (confirmation.exec() != QMessageBox::Yes)
        return;

    // The register may be busy with a run for a few seconds.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const IssueAbandonPage issue = m_suspens.abandonner(ligne.reference);
    QApplication::restoreOverrideCursor();
    QMessageBox resultat(issue.abandonnee ? QMessageBox::Information : QMessageBox::Warning, titre,
                         issue.texte, QMessageBox::Ok, this);
    resultat.setObjectName(QStringLiteral("resultatAbandon"));
    resultat.exec();
    actualiserSuspens();
}

void Dialog::preparerPageCertifiees()
{
    // Today's invoices at first; the page is read each time it is shown and when the period or the
    // search changes.
    const QDate aujourdhui = QDate::currentDate();
    ui->duCertifiees->setDate(aujourdhui);
    ui->auCertifiees->setDate(aujourdhui);
    QHeaderView *entete = ui->tableCertifiees->horizontalHeader();
    entete->setSectionResizeMode(QHeaderView::Interactive);
    entete->setStretchLastSection(true);
    connect(ui->tabWidget, &QTabWidget::currentChanged, this, [this](int index) {
        if (ui->tabWidget->widget(index) == ui->certifiees_tab)
            actualiserCertifiees();
    });
    for (QDateEdit *jour : {ui->duCertifiees, ui->auCertifiees})
        connect(jour, &QDateEdit::dateChanged, this, [this] {
            if (ui->tabWidget->currentWidget() == ui->certifiees_tab)
                actualiserCertifiees();
        });
    connect(ui->rechercheCertifiees, &QLineEdit::returnPressed, this, &Dialog::actualiserCertifiees);
    m_choixExport = [this](const QString &proposition) {
        return QFileDialog::getSaveFileName(this, ui->exporterCertifiees->text(), proposition,
                                            QStringLiteral("Fichier CSV (*.csv)"));
    };
}

PeriodeCertification Dialog::periodeCertifiees() const
{
    return {ui->duCertifiees->date(), ui->auCertifiees->date(), ui->rechercheCertifiees->text().trimmed()};
}

void Dialog::actualiserCertifiees()
{
    QTableWidget *table = ui->tableCertifiees;
    table->setRowCount(0);
    const PeriodeCertification periode = periodeCertifiees();
    if (periode.du > periode.au) {
        ui->etatCertifiees->setText(QStringLiteral("Période inversée: la date de début est après la date de fin."));
        ui->syntheseCertifiees->clear();
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ListeCertifiees liste = lireCertifiees(m_suspens.emplacement(), periode);
    QApplication::restoreOverrideCursor();
    if (!liste.lisible) {
        ui->etatCertifiees->setText(QStringLiteral("Registre illisible: %1").arg(liste.erreur));
        ui->syntheseCertifiees->clear();
        return;
    }
    ui->etatCertifiees->clear();
    table->setRowCount(int(liste.factures.size()));
    for (int rangee = 0; rangee < liste.factures.size(); ++rangee) {
        const QStringList textes = cellulesCertifiee(liste.factures.at(rangee));
        for (int colonne = 0; colonne < textes.size(); ++colonne) {
            auto *cellule = new QTableWidgetItem(textes.at(colonne));
            if (colonne == textes.size() - 1)
                cellule->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(rangee, colonne, cellule);
        }
    }
    for (int colonne = 0; colonne < table->columnCount() - 1; ++colonne)
        table->resizeColumnToContents(colonne);
    ui->syntheseCertifiees->setText(texteSynthese(syntheseCertifiees(liste.factures)));
}

void Dialog::on_afficherCertifiees_clicked()
{
    actualiserCertifiees();
}

void Dialog::on_exporterCertifiees_clicked()
{
    const PeriodeCertification periode = periodeCertifiees();
    const QString titre = ui->exporterCertifiees->text();
    if (periode.du > periode.au) {
        QMessageBox refus(QMessageBox::Warning, titre,
                          QStringLiteral("Période inversée: la date de début est après la date de fin."),
                          QMessageBox::Ok, this);
        refus.setObjectName(QStringLiteral("resultatExport"));
        refus.exec();
        return;
    }
    const QString proposition =
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .filePath(QStringLiteral("factures-certifiees-%1-%2.csv")
                          .arg(periode.du.toString(QStringLiteral("yyyyMMdd")),
                               periode.au.toString(QStringLiteral("yyyyMMdd"))));
    const QString chemin = m_choixExport(proposition);
    if (chemin.isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const IssueExport issue = exporterCertifiees(m_suspens.emplacement(), periode, chemin);
    QApplication::restoreOverrideCursor();
    QString texte;
    switch (issue.issue) {
    case IssueExport::Issue::Ecrit:
        texte = QStringLiteral("%1 facture(s) exportée(s) dans %2.").arg(issue.factures).arg(QDir::toNativeSeparators(chemin));
        break;
    case IssueExport::Issue::RegistreIllisible:
        texte = QStringLiteral("Registre illisible: %1").arg(issue.erreur);
        break;
    case IssueExport::Issue::FichierImpossible:
        texte = QStringLiteral("Impossible d'écrire le fichier %1 (%2).").arg(QDir::toNativeSeparators(chemin), issue.erreur);
        break;
    }
    QMessageBox resultat(issue.issue == IssueExport::Issue::Ecrit ? QMessageBox::Information : QMessageBox::Warning,
                         titre, texte, QMessageBox::Ok, this);
    resultat.setObjectName(QStringLiteral("resultatExport"));
    resultat.exec();
}
