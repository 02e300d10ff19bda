#pragma once

#include "enregistrement.h"

#include <parametres.h>

#include <QDialog>

#include <memory>

namespace Ui {
class Dialog;
}

// The settings editor: three tabs of fields loaded from app.xml when the dialog is built and
// written back to it on OK, and a button that stops the background server program.
class Dialog : public QDialog
{
    Q_OBJECT

public:
    // Edits "app.xml" in the current working directory.
    explicit Dialog(QWidget *parent = nullptr);
    // Edits the settings file at `cheminParametres`.
    explicit Dialog(const QString &cheminParametres, QWidget *parent = nullptr);
    ~Dialog() override;

private slots:
    void on_buttonBox_accepted();
    void on_buttonBox_rejected();
    void on_stopBtn_clicked();

private:
    void charger(const FichierParametres &fichier);
    // The editor's keys with the form's current values, in the order they are written.
    Attributs valeursFormulaire() const;
    void afficherPolice(const QString &famille);

    std::unique_ptr<Ui::Dialog> ui;
    QString m_chemin;
    // The file as loaded; its attributes that the editor does not manage are written back as they were.
    FichierParametres m_fichier;
};
