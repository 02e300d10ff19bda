#include "dialog.h"
#include "facturesensuspens.h"
#include "repondeur.h"

#include <attente.h>
#include <clusterpostgres.h>
#include <registre.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

// The dialog's shared register, against a throw-away PostgreSQL server: its "Tester" button connects
// and reports, never with the password; the page of invoices in suspense reads and releases there.
class RegistreDuDialogue : public QObject
{
    Q_OBJECT

    ClusterPostgres m_cluster;

    static quint16 portFerme()
    {
        QTcpServer libre;
        libre.listen(QHostAddress::LocalHost, 0);
        return libre.serverPort();
    }

    // The shared register in database `base`, reached as the cluster's administrator.
    EmplacementRegistre emplacement(const QString &base) const
    {
        EmplacementRegistre e;
        e.adresse = m_cluster.adresse(base);
        e.motDePasse = ClusterPostgres::motDePasseAdministrateur();
        return e;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_cluster.demarrer(), qPrintable(m_cluster.erreur()));
        QVERIFY(m_cluster.executer("postgres", "create database vide"));
        QVERIFY(m_cluster.executer("postgres", "create database magasin"));
        Registre registre("creation");
        QVERIFY(registre.ouvrir(emplacement("magasin")));
    }

    void tester_data()
    {
        QTest::addColumn<QString>("adresse");
        QTest::addColumn<QString>("motDePasse");
        QTest::addColumn<QString>("attendu"); // a regular expression
        const QString admin = ClusterPostgres::motDePasseAdministrateur();
        QTest::newRow("empty: the local file") << ""
                                               << ""
                                               << "^Registre local: mcf.s3db à côté du moteur.$";
        QTest::newRow("register reachable")
            << m_cluster.adresse("magasin") << admin
            << "^Registre partagé joignable \\(postgresql://orvane_admin@127.0.0.1:\\d+/magasin\\): 0 "
               "facture\\(s\\) "
               "en suspens.$";
        QTest::newRow("database without a register: nothing created")
            << m_cluster.adresse("vide") << admin
            << "^Registre injoignable ou inutilisable: aucun registre dans";
        QTest::newRow("wrong password") << m_cluster.adresse("magasin") << "Faux-Secret1"
                                        << "^Registre injoignable ou inutilisable: .*password";
        QTest::newRow("no server") << QString("postgresql://caisse@127.0.0.1:%1/magasin").arg(portFerme())
                                   << "Faux-Secret1"
                                   << "^Registre injoignable ou inutilisable: ";
    }

    void tester()
    {
        QFETCH(QString, adresse);
        QFETCH(QString, motDePasse);
        QFETCH(QString, attendu);
        QTemporaryDir dossier;
        QFile parametres(dossier.filePath("app.xml"));
        QVERIFY(parametres.open(QIODevice::WriteOnly));
        parametres.write(QString("<app delaiConnexionRegistre=\"2\"/>").toUtf8());
        parametres.close();
        Dialog dialogue(dossier.filePath("app.xml"));
        auto *champ = dialogue.findChild<QLineEdit *>("registre");
        auto *secret = dialogue.findChild<QLineEdit *>("motDePasseRegistre");
        auto *bouton = dialogue.findChild<QPushButton *>("testerRegistre");
        auto *etat = dialogue.findChild<QLabel *>("etatRegistre");
        QVERIFY(champ && secret && bouton && etat);
        QCOMPARE(bouton->text(), QString("Tester"));
        QCOMPARE(secret->echoMode(), QLineEdit::Password);
        champ->setText(adresse);
        secret->setText(motDePasse);
        bouton->click();
        QVERIFY2(QRegularExpression(attendu).match(etat->text()).hasMatch(), qPrintable(etat->text()));
        if (!motDePasse.isEmpty())
            QVERIFY(!etat->text().contains(motDePasse));
        QCOMPARE(m_cluster.valeur("vide",
                                  "select count(*) from information_schema.tables where table_schema = "
                                  "'public'"),
                 QString("0"));
    }

    void pageDesFacturesEnSuspens()
    {
        // Two tills' runs on the shared register the settings name: one still running (its session
        // open), one gone (its session closed), one finished. The page lists both unfinished ones,
        // says on which machine and process the live one runs, lets the operator release only the
        // gone one, and the release is written in the shared register.
        QVERIFY(m_cluster.executer("postgres", "create database suspens"));
        const EmplacementRegistre e = emplacement("suspens");
        auto vivante = std::make_unique<Registre>("vivante");
        QVERIFY(vivante->ouvrir(e));
        {
            Registre morte("morte");
            QVERIFY(morte.ouvrir(e));
            const struct
            {
                Registre &registre;
                const char *reference;
                const char *appareil;
            } prises[] = {{morte, "P-MORTE", "SIMA000001"}, {*vivante, "P-VIVANTE", "SIMB000002"},
                          {morte, "P-FINIE", "SIMA000001"}};
            for (const auto &p : prises) {
                const TitulaireExecution t = p.registre.titulaire();
                QCOMPARE(int(p.registre.reclamer(p.reference, "E", cheminAppareil, p.appareil, t,
                                                 p.registre.vivacite())
                                 .issue),
                         int(Reclamation::Issue::Nouvelle));
            }
            for (const EtatCertification etat :
                 {EtatCertification::Ouverte, EtatCertification::Payee, EtatCertification::FermetureEnvoyee})
                QVERIFY(morte.changerEtat("P-FINIE", etat, morte.titulaire()));
            QVERIFY(morte.enregistrer("P-FINIE", {"F;NIM;SIG", "12", "SIG", "NIM", "12/12 FV", "20260109"}));
        }
        QTemporaryDir dossier;
        QFile parametres(dossier.filePath("app.xml"));
        QVERIFY(parametres.open(QIODevice::WriteOnly));
        parametres.write(QString("<app registre=\"%1\" motDePasseRegistre=\"%2\"/>")
                             .arg(e.adresse, e.motDePasse)
                             .toUtf8());
        parametres.close();
        Dialog dialogue(dossier.filePath("app.xml"));
        dialogue.show();
        auto *onglets = dialogue.findChild<QTabWidget *>("tabWidget");
        auto *page = dialogue.findChild<QWidget *>("suspens_tab");
        auto *table = dialogue.findChild<QTableWidget *>("tableSuspens");
        auto *detail = dialogue.findChild<QLabel *>("detailSuspens");
        auto *abandonner = dialogue.findChild<QPushButton *>("abandonnerBtn");
        auto *actualiser = dialogue.findChild<QPushButton *>("actualiserBtn");
        QVERIFY(onglets && page && table && detail && abandonner && actualiser);
        onglets->setCurrentWidget(page);
        const auto listees = [&] {
            QStringList r;
            for (int i = 0; i < table->rowCount(); ++i)
                r << table->item(i, 0)->text() + " " + table->item(i, 1)->text();
            return r;
        };
        QCOMPARE(listees(), (QStringList{"P-MORTE MCF SIMA000001", "P-VIVANTE MCF SIMB000002"}));

        table->selectRow(1);
        QVERIFY(!abandonner->isEnabled());
        const QString enCours = QString("En cours de certification par une autre exécution (poste %1, processus %2)")
                                    .arg(QSysInfo::machineHostName().remove(' '))
                                    .arg(QCoreApplication::applicationPid());
        QVERIFY2(detail->text().contains(enCours), qPrintable(detail->text()));
        // Asked anyway (as "orvane-engine --abandonner" would be), the release is refused and names the
        // machine and process of the live run.
        FacturesEnSuspens outil;
        outil.definirEmplacement(e);
        const IssueAbandonPage refus = outil.abandonner("P-VIVANTE");
        QVERIFY(!refus.abandonnee);
        QCOMPARE(refus.texte, QString("La facture P-VIVANTE est en cours de certification par une autre execution "
                                      "(poste %1, processus %2): elle n'est pas abandonnee.")
                                  .arg(QSysInfo::machineHostName().remove(' '))
                                  .arg(QCoreApplication::applicationPid()));

        table->selectRow(0);
        QVERIFY(abandonner->isEnabled());
        Repondeur repondeur({{"confirmationAbandon", "Oui"}, {"resultatAbandon", "OK"}});
        QTest::mouseClick(abandonner, Qt::LeftButton);
        QCOMPARE(repondeur.inattendues, QStringList{});
        QCOMPARE(m_cluster.valeur("suspens", "select etat from certification where reference = 'P-MORTE'"),
                 QString("abandonnee"));
        QCOMPARE(listees(), QStringList{"P-VIVANTE MCF SIMB000002"});

        // Once its run ends, the other till's invoice may be released too.
        vivante.reset();
        // The server ends that session, and frees its lock, a moment after the run hangs up.
        QTRY_VERIFY_WITH_TIMEOUT(m_cluster.valeur("suspens", "select count(*) from pg_locks where "
                                                             "locktype = 'advisory' and objsubid = 2") == "0",
                                 attenteFauteMs);
        QTest::mouseClick(actualiser, Qt::LeftButton);
        table->selectRow(0);
        QVERIFY(abandonner->isEnabled());
        QVERIFY(!detail->text().contains("En cours de certification"));
        QCOMPARE(m_cluster.valeur("suspens", "select etat from certification where reference = 'P-VIVANTE'"),
                 QString("reclamee"));
    }
};

QTEST_MAIN(RegistreDuDialogue)
#include "tst_registredialogue.moc"
