#pragma once

#include "enregistrement.h"
#include "facturescertifiees.h"
#include "facturesensuspens.h"

#include <parametres.h>

#include <QDialog>

#include <functional>
#include <memory>

class QCheckBox;
class QLineEdit;

namespace Ui {
class Dialog;
}

// The settings editor: three tabs of fields loaded from app.xml when the dialog is built and
// written back to it on OK, a button that stops the background server program, and a page of the
// invoices whose certification no run can finish, read from the register each time it is shown.
class Dialog : public QDialog
{
    Q_OBJECT

public:
    // Edits "app.xml" in the current working directory.
    explicit Dialog(QWidget *parent = nullptr);
    // Edits the settings file at `cheminParametres`.
    explicit Dialog(const QString &cheminParametres, QWidget *parent = nullptr);
    ~Dialog() override;

    // Folder of the programs, where the stop button finds the engine (outside Windows); the
    // folder of this program unless told otherwise.
    void definirDossierInstallation(const QString &dossier) { m_dossierInstallation = dossier; }
    // The register the page of invoices in suspense reads; mcf.s3db in the folder of this program
    // unless told otherwise.
    void definirRegistre(const QString &chemin) { m_suspens.definirCheminRegistre(chemin); }
    // How "Exporter…" asks where to write, given the name it proposes; a file dialog unless told
    // otherwise (tests). An empty answer writes nothing.
    void definirChoixFichierExport(std::function<QString(const QString &)> choix) { m_choixExport = std::move(choix); }

private slots:
    void on_buttonBox_accepted();
    void on_buttonBox_rejected();
    void on_stopBtn_clicked();
    void on_actualiserBtn_clicked();
    void on_abandonnerBtn_clicked();
    void on_testerRegistre_clicked();
    void on_afficherCertifiees_clicked();
    void on_exporterCertifiees_clicked();

private:
    void charger(const FichierParametres &fichier);
    // The editor's keys with the form's current values, in the order they are written.
    Attributs valeursFormulaire() const;
    void afficherPolice(const QString &famille);
    void masquerSecret(QLineEdit *champ, QCheckBox *afficher);
    // For a file that exists but could not be read: tells so and offers to keep a copy of it
    // before it is replaced. False when nothing must be written.
    bool accepterRemplacementIllisible();
    void preparerPageSuspens();
    void actualiserSuspens();
    void elargirPourSuspens();
    // The row chosen in the table of invoices in suspense, -1 when none.
    int factureChoisie() const;
    void choixSuspensChange();
    void preparerPageCertifiees();
    void actualiserCertifiees();
    PeriodeCertification periodeCertifiees() const;

    std::unique_ptr<Ui::Dialog> ui;
    QString m_chemin;
    // The file as loaded; its attributes that the editor does not manage are written back as they were.
    FichierParametres m_fichier;
    // The file exists and holds something that could not be read: never replaced unasked.
    bool m_fichierIllisible = false;
    QString m_dossierInstallation;
    FacturesEnSuspens m_suspens;
    // The invoices of the table, in its order.
    QList<FactureEnSuspens> m_facturesSuspens;
    std::function<QString(const QString &)> m_choixExport;
};
