#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

// Answers the message boxes the dialog opens, as a user would: each expected box (by object name)
// gets its button clicked (a button's object name, or "Oui", "Non", "OK" for the standard ones), in
// order. The texts shown are kept; a box nobody expected is recorded and closed, so that a test
// never hangs on a modal window.
class Repondeur : public QObject
{
public:
    struct Reponse
    {
        QString boite;
        QString bouton;
    };

    explicit Repondeur(QList<Reponse> reponses) : m_reponses(std::move(reponses))
    {
        connect(&m_minuterie, &QTimer::timeout, this, &Repondeur::regarder);
        m_minuterie.start(10);
    }

    QStringList boitesVues;              // object names, in order
    QStringList textesVus;               // their texts
    QList<QMessageBox::Icon> iconesVues; // their icons
    QStringList inattendues;             // object names of boxes that were not expected

private:
    void regarder()
    {
        auto *boite = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!boite || !boite->isVisible())
            return;
        boitesVues << boite->objectName();
        textesVus << boite->text();
        iconesVues << boite->icon();
        if (m_reponses.isEmpty() || m_reponses.first().boite != boite->objectName()) {
            inattendues << boite->objectName();
            boite->reject();
            return;
        }
        const Reponse r = m_reponses.takeFirst();
        QAbstractButton *bouton = boite->findChild<QAbstractButton *>(r.bouton);
        if (!bouton && r.bouton == QStringLiteral("Oui"))
            bouton = boite->button(QMessageBox::Yes);
        if (!bouton && r.bouton == QStringLiteral("Non"))
            bouton = boite->button(QMessageBox::No);
        if (!bouton && r.bouton == QStringLiteral("OK"))
            bouton = boite->button(QMessageBox::Ok);
        if (bouton)
            bouton->click();
        else
            boite->reject();
    }

    QList<Reponse> m_reponses;
    QTimer m_minuterie;
};
