#include "dialog.h"
#include "ui_dialog.h"

#include "arretserveur.h"

#include <QPushButton>

namespace {

// Written in place of a timeout below 1 second.
constexpr int timeoutParDefaut = 15;

QString interrupteur(bool actif)
{
    return actif ? QStringLiteral("1") : QStringLiteral("0");
}

// Selects the item whose text equals `valeur` exactly; any other value leaves the selection as it is.
void selectionnerTexte(QComboBox *combo, const QString &valeur)
{
    const int index = combo->findText(valeur, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        combo->setCurrentIndex(index);
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

    m_fichier = lireFichierParametres(m_chemin);
    if (m_fichier.etat == EtatParametres::Charge)
        charger(m_fichier);
    else
        m_fichier = {}; // an unreadable file has no attributes worth keeping
}

Dialog::~Dialog() = default;

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
    };
}

void Dialog::on_buttonBox_accepted()
{
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
    arreterServeur();
}
