#include "programmesuivi.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

// orvane-engine certifying invoices on orvane-mcf-sim through a pseudo-terminal: the real serial
// stack on both sides.
class TestBoutEnBoutMCF : public QObject
{
    Q_OBJECT

private slots:
    void venteRemboursementEtReimpression_data();
    void venteRemboursementEtReimpression();
    void pannes_data();
    void pannes();
    void appareilDefaillant_data();
    void appareilDefaillant();
};

namespace {

const QString binaires = QStringLiteral(ORVANE_BIN_DIR);

// The simulator, started with its options; its first output line is the terminal to talk to.
using Simulateur = SimulateurMCF;

// A throw-away installation: the engine beside its app.xml and register.
class Installation
{
public:
    explicit Installation(const QString &appXml)
    {
        installerMoteur(m_dossier.path());
        ecrire(QStringLiteral("app.xml"), appXml);
    }

    QString chemin(const QString &nom) const { return m_dossier.filePath(nom); }

    void ecrire(const QString &nom, const QString &texte) const
    {
        QFile f(chemin(nom));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(texte.toUtf8());
    }

    // Runs the engine on `facture` (an input file name) with the device on `port`; its console.
    QString certifier(const QString &facture, const QString &port, int attente = attenteMs(2000)) const
    {
        return executer(facture, port, attente).sortie;
    }

    struct Execution
    {
        QString sortie;
        qint64 dureeMs = 0;
        qint64 memoireMaxKo = 0; // VmHWM, the peak resident size
    };

    // The same, measuring how long the engine ran and the most memory it ever held.
    Execution executer(const QString &facture, const QString &port, int attente) const
    {
        Execution e;
        QElapsedTimer chrono;
        chrono.start();
        QProcess moteur;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ORVANE_MCF_WAIT_MS"), QString::number(attente));
        moteur.setProcessEnvironment(env);
        moteur.setWorkingDirectory(m_dossier.path());
        moteur.start(chemin(QStringLiteral("orvane-engine")),
                     {chemin(facture), chemin(facture + QStringLiteral(".mcf")), port});
        moteur.waitForStarted(attenteFauteMs);
        const QString statut = QStringLiteral("/proc/%1/status").arg(moteur.processId());
        // VmHWM is gone once the process has ended: it is read while the engine runs.
        while (!moteur.waitForFinished(10)) {
            if (chrono.elapsed() > attenteFauteMs) {
                moteur.kill();
                moteur.waitForFinished(attenteFauteMs);
                break;
            }
            QFile f(statut);
            if (f.open(QIODevice::ReadOnly))
                for (const QByteArray &ligne : f.readAll().split('\n'))
                    if (ligne.startsWith("VmHWM:"))
                        e.memoireMaxKo =
                            qMax(e.memoireMaxKo, ligne.mid(6).trimmed().split(' ').value(0).toLongLong());
        }
        e.dureeMs = chrono.elapsed();
        e.sortie = QString::fromUtf8(moteur.readAllStandardOutput());
        return e;
    }

    QStringList resultat(const QString &facture) const
    {
        QFile f(chemin(facture + QStringLiteral(".mcf")));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\t'));
    }

    // Rows of the register for `reference`: counters text of each.
    QStringList registre(const QString &reference) const
    {
        QStringList lignes;
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bout-en-bout"));
            db.setDatabaseName(chemin(QStringLiteral("mcf.s3db")));
            if (db.open()) {
                QSqlQuery q(db);
                q.prepare(QStringLiteral(
                    "select mecef_nim, mecef_tc, mecef_compt from facture where reference = ?"));
                q.addBindValue(reference);
                q.exec();
                while (q.next())
                    lignes << q.value(0).toString() + QLatin1Char(' ') + q.value(1).toString() +
                                  QLatin1Char(' ') + q.value(2).toString();
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("bout-en-bout"));
        return lignes;
    }

private:
    QTemporaryDir m_dossier;
};

QString appXml(const QString &pays)
{
    return QStringLiteral("<app pays=\"%1\" jeton=\"\" portMCF=\"\" modePrix=\"TTC\" isf=\"\"/>").arg(pays);
}

// The lines of `sortie` must hold `lignes` in this order; says which one is missing otherwise.
QString manquante(const QString &sortie, const QStringList &lignes)
{
    const QStringList s = sortie.split(QLatin1Char('\n'));
    qsizetype position = 0;
    for (const QString &ligne : lignes) {
        const qsizetype i = s.indexOf(ligne, position);
        if (i < 0)
            return ligne;
        position = i + 1;
    }
    return QString();
}

#define VERIFIER_LIGNES(sortie, lignes, simulateur)                                                          \
    do {                                                                                                     \
        const QString absente = manquante(sortie, lignes);                                                   \
        QVERIFY2(absente.isEmpty(),                                                                          \
                 qPrintable(QStringLiteral("missing or out of order: \"%1\"\n--- engine:\n%2"                \
                                           "\n--- simulator:\n%3")                                           \
                                .arg(absente, sortie, (simulateur).journal())));                             \
    } while (false)

const QString vente =
    QStringLiteral("FAC-1;FV;Awa;7;E;Kofi Mensah;3209876543210;Cotonou, Haie Vive;97000000;;;;\n"
                   "B;Pain complet;2;100;118;;0;0;100\n"
                   "A;Bonbon;1;1;1;;0;0;100\n"
                   "A;Eau minerale;1;500;500;;0;0;100\n"
                   "#;A;Merci de votre visite\n"
                   "#;Z;Jamais envoye\n");

} // namespace

void TestBoutEnBoutMCF::venteRemboursementEtReimpression_data()
{
    QTest::addColumn<QString>("pays");
    QTest::addColumn<QString>("codePays");

    QTest::newRow("benin device") << "Bénin"
                                  << "BJ";
    QTest::newRow("niger device") << "Niger"
                                  << "NE";
}

void TestBoutEnBoutMCF::venteRemboursementEtReimpression()
{
    QFETCH(QString, pays);
    QFETCH(QString, codePays);

    Simulateur sim({QStringLiteral("--pays"), codePays});
    QVERIFY2(sim.terminal.startsWith(QLatin1Char('/')), qPrintable(sim.terminal));
    Installation inst(appXml(pays));
    const bool niger = codePays == QStringLiteral("NE");

    // A sale with several items and comments.
    inst.ecrire(QStringLiteral("vente.csv"), vente);
    const QString sortieVente = inst.certifier(QStringLiteral("vente.csv"), sim.terminal);
    QStringList lignes{QStringLiteral("Le port a ete ouvert."),
                       QStringLiteral("La facture est une facture de vente"),
                       QStringLiteral("Total facture: 737.0000"),
                       QStringLiteral("Initialisation MCF %1 terminee.").arg(codePays)};
    if (niger)
        lignes << QStringLiteral("Enregistrement du client.")
               << QStringLiteral("Donnees: 3209876543210,Kofi Mensah,Cotonou^x2c; Haie Vive,97000000,")
               << QStringLiteral("Donnees: 7,Awa,SIM0100001,FV,TTC,Orvane,FAC-1")
               << QStringLiteral("Donnees: Pain complet\tB19%236\t118*2");
    else
        lignes << QStringLiteral("Donnees: 7,Awa,SIM0100001,0,18,0,18,FV,3209876543210,Kofi Mensah")
               << QStringLiteral("Donnees: Pain complet\tB118*2");
    if (niger)
        lignes << QStringLiteral("A=Merci de votre visite")
               << QStringLiteral("Donnees: A,Merci de votre visite");
    else
        lignes << QStringLiteral("Erreur: Impossible de soumettre un commentaire.");
    lignes << QStringLiteral("Total facture acceptable: 737") << QStringLiteral("Donnees: E737")
           << QStringLiteral("La facture a ete validee.") << QStringLiteral("Le port a ete ferme.")
           << QStringLiteral("Insertion de la facture dans la base de donnees reussie.");
    VERIFIER_LIGNES(sortieVente, lignes, sim);
    QVERIFY(!sortieVente.contains(QStringLiteral("Jamais envoye")));

    const QStringList r = inst.resultat(QStringLiteral("vente.csv"));
    QCOMPARE(r.size(), 8);
    QCOMPARE(r.at(0), QStringLiteral("FAC-1"));
    QCOMPARE(r.at(1), QStringLiteral("1"));
    QCOMPARE(r.at(2).size(), 24 + 5); // grouped by four with dashes
    QCOMPARE(r.at(3), QStringLiteral("SIM0100001"));
    QCOMPARE(r.at(4), QStringLiteral("1/1 FV"));
    QVERIFY2(r.at(6).startsWith(QStringLiteral("F;SIM0100001;") + QString(r.at(2)).remove(QLatin1Char('-')) +
                                QStringLiteral(";3200900012345;")),
             qPrintable(r.at(6)));
    QCOMPARE(r.at(7), QString());
    QCOMPARE(inst.registre(QStringLiteral("FAC-1")), QStringList{QStringLiteral("SIM0100001 1 1/1 FV")});

    // A refund of that sale: its fiscal reference comes from the register.
    inst.ecrire(QStringLiteral("avoir.csv"),
                QStringLiteral("AV-1;FA;Awa;7;E;Kofi Mensah;3209876543210;Cotonou;97000000;;;FAC-1;\n"
                               "B;Pain complet;1;100;118;;0;0;100\n"));
    const QString sortieAvoir = inst.certifier(QStringLiteral("avoir.csv"), sim.terminal);
    VERIFIER_LIGNES(
        sortieAvoir,
        (QStringList{QStringLiteral("Facture retrouvee: SIM0100001-1"),
                     QStringLiteral("La facture est une facture de remboursement: (NIM-)TC Facture "
                                    "originale: SIM0100001-1"),
                     niger ? QStringLiteral("Donnees: 7,Awa,SIM0100001,FA,SIM0100001-1,TTC,Orvane,AV-1")
                           : QStringLiteral("Donnees: 7,Awa,SIM0100001,0,18,0,18,FA,SIM0100001-1,"
                                            "3209876543210,Kofi Mensah"),
                     QStringLiteral("La facture a ete validee.")}),
        sim);
    const QStringList avoir = inst.resultat(QStringLiteral("avoir.csv"));
    QCOMPARE(avoir.size(), 8);
    QCOMPARE(avoir.at(4), QStringLiteral("1/2 FA"));
    QCOMPARE(avoir.at(7), QStringLiteral("SIM0100001-1"));

    // The sale again: printed from the register, nothing sent to the device.
    QFile::remove(inst.chemin(QStringLiteral("vente.csv.mcf")));
    const QString sortieReprise = inst.certifier(QStringLiteral("vente.csv"), sim.terminal);
    VERIFIER_LIGNES(sortieReprise, QStringList{QStringLiteral("Cette facture est deja validee.")}, sim);
    QVERIFY2(!sortieReprise.contains(QStringLiteral("Donnees:")) &&
                 !sortieReprise.contains(QStringLiteral("Le port a ete ouvert.")),
             qPrintable(sortieReprise));
    QCOMPARE(inst.resultat(QStringLiteral("vente.csv")), r);
    QCOMPARE(inst.registre(QStringLiteral("FAC-1")).size(), 1);
}

void TestBoutEnBoutMCF::pannes_data()
{
    QTest::addColumn<QString>("codePays");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("validee");
    QTest::addColumn<QStringList>("lignes");

    for (const QString &codePays : {QStringLiteral("BJ"), QStringLiteral("NE")}) {
        const QByteArray pays = codePays.toLatin1();
        QTest::newRow((pays + " subtotal outside the tolerance").constData())
            << codePays << QStringList{"--ecart-sous-total", "50"} << false
            << QStringList{"Difference facture: 50", "Total facture inacceptable: 787",
                           "Fermeture de la facture.", "La facture a ete annulee.", "Le port a ete ferme."};
        // A refused item is never left out of a certified invoice: the invoice is not paid and the
        // device cancels it.
        QTest::newRow((pays + " NAK on one item").constData())
            << codePays << QStringList{"--nak", "0x31:2"} << false
            << QStringList{"NAK recu: Commande incorrecte.",
                           "",
                           "",
                           "Erreur: Impossible de soumettre un article.",
                           "Ajout d'un nouvel article a la facture.",
                           "Un article a ete refuse par le MCF: la facture n'est pas payee et sera annulee.",
                           "Fermeture de la facture.",
                           "La facture a ete annulee."};
        QTest::newRow((pays + " no answer at all").constData())
            << codePays << QStringList{"--sans-reponse", "C1"} << false
            << QStringList{"Verification de l'etat de la machine.",
                           "Donnees: ",
                           "Aucune reponse.",
                           "",
                           "Initialisation échouee.",
                           "Erreur: Impossible d'initialiser le MCF.",
                           "Le port a ete ferme."};
        QTest::newRow((pays + " SYN before replies cut in pieces").constData())
            << codePays << QStringList{"--syn", "2", "--morceaux", "5", "--pause", "15"} << true
            << QStringList{"Total facture acceptable: 737", "La facture a ete validee."};
    }
}

void TestBoutEnBoutMCF::pannes()
{
    QFETCH(QString, codePays);
    QFETCH(QStringList, options);
    QFETCH(bool, validee);
    QFETCH(QStringList, lignes);

    Simulateur sim(QStringList{QStringLiteral("--pays"), codePays} + options);
    QVERIFY2(sim.terminal.startsWith(QLatin1Char('/')), qPrintable(sim.terminal));
    Installation inst(
        appXml(codePays == QStringLiteral("NE") ? QStringLiteral("Niger") : QStringLiteral("Bénin")));
    inst.ecrire(QStringLiteral("vente.csv"), vente);

    // The device's silence ends a wait; every answer it gives comes well within it.
    const QString sortie = inst.certifier(QStringLiteral("vente.csv"), sim.terminal, attenteMs(1000));
    VERIFIER_LIGNES(sortie, lignes, sim);
    QCOMPARE(QFile::exists(inst.chemin(QStringLiteral("vente.csv.mcf"))), validee);
    QCOMPARE(inst.registre(QStringLiteral("FAC-1")).size(), validee ? 1 : 0);
    if (!validee)
        QVERIFY(!sortie.contains(QStringLiteral("Confirmation de la facture.")));
}

void TestBoutEnBoutMCF::appareilDefaillant_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("validee");
    QTest::addColumn<int>("trames");      // request frames the device received
    QTest::addColumn<int>("attentesMax"); // waits the run may last, beyond the engine's own time
    QTest::addColumn<QStringList>("lignes");

    const QString muet = QStringLiteral("Le MCF ne repond plus: la facture est abandonnee.");
    QTest::newRow("SYN forever") << QStringList{"--syn-sans-fin", "C1", "--pause", "20"} << false << 1 << 3
                                 << QStringList{"Donnees: ",
                                                "Aucune reponse complete dans le delai: echange abandonne.",
                                                muet, "Le port a ete ferme."};
    QTest::newRow("SYN forever, one every 500 ms with a longer wait")
        << QStringList{"--syn-sans-fin", "31:2", "--pause", "500"} << false << 4 << 3
        << QStringList{"Ajout d'un nouvel article a la facture.", "Ajout d'un nouvel article a la facture.",
                       "Aucune reponse complete dans le delai: echange abandonne.", muet,
                       "Le port a ete ferme."};
    QTest::newRow("ordinary bytes forever")
        << QStringList{"--octets-sans-fin", "C1"} << false << 1 << 3
        << QStringList{"Message non compris: 0x41 0x41 0x41 0x41 0x41 0x41 0x41 0x41 ...",
                       "Aucune reponse complete dans le delai: echange abandonne.", muet,
                       "Le port a ete ferme."};
    QTest::newRow("a trailing SYN after each reply")
        << QStringList{"--octet-final", "16"} << true << 28 << 0
        << QStringList{"Total facture acceptable: 737", "La facture a ete validee."};
    QTest::newRow("a trailing byte after each reply, replies cut in pieces")
        << QStringList{"--octet-final", "41", "--morceaux", "3", "--pause", "5"} << true << 28 << 0
        << QStringList{"Total facture acceptable: 737", "La facture a ete validee."};
    QTest::newRow("switched off at the second item")
        << QStringList{"--muet-des", "31:2"} << false << 4 << 1
        << QStringList{"Ajout d'un nouvel article a la facture.", "Aucune reponse.", muet,
                       "Le port a ete ferme."};
    QTest::newRow("reply to the subtotal with another sequence number")
        << QStringList{"--autre-sequence", "33"} << false << 26 << 1
        << QStringList{"Demande du sous-total de la facture.", "Aucune reponse.", muet,
                       "Le port a ete ferme."};
    QTest::newRow("reply to the close with another command code")
        << QStringList{"--autre-commande", "38"} << false << 28 << 1
        << QStringList{"Fermeture de la facture.", "Aucune reponse.", muet, "Le port a ete ferme."};
}

// Devices that misbehave: every run ends within its limits, with flat memory, and a device that
// stopped answering is sent nothing more.
void TestBoutEnBoutMCF::appareilDefaillant()
{
    QFETCH(QStringList, options);
    QFETCH(bool, validee);
    QFETCH(int, trames);
    QFETCH(int, attentesMax);
    QFETCH(QStringList, lignes);

    Simulateur sim(QStringList{QStringLiteral("--pays"), QStringLiteral("BJ")} + options);
    QVERIFY2(sim.terminal.startsWith(QLatin1Char('/')), qPrintable(sim.terminal));
    Installation inst(appXml(QStringLiteral("Bénin")));
    QString facture = vente;
    for (int i = 0; i < 20; ++i)
        facture += QStringLiteral("A;Article %1;1;0;0;;0;0;100\n").arg(i);
    inst.ecrire(QStringLiteral("vente.csv"), facture);

    // Long enough for SYN every 500 ms to keep each wait alive, however late one comes.
    const int attente = attenteMs(1500);
    const Installation::Execution e = inst.executer(QStringLiteral("vente.csv"), sim.terminal, attente);
    VERIFIER_LIGNES(e.sortie, lignes, sim);
    QCOMPARE(QFile::exists(inst.chemin(QStringLiteral("vente.csv.mcf"))), validee);
    QCOMPARE(inst.registre(QStringLiteral("FAC-1")).size(), validee ? 1 : 0);
    QCOMPARE(sim.trames(), trames);
    QVERIFY2(e.memoireMaxKo > 0 && e.memoireMaxKo < 100 * 1024, qPrintable(QString::number(e.memoireMaxKo)));
    // The engine's own start and end take well under the margin.
    QVERIFY2(e.dureeMs < attentesMax * attente + attenteMs(3000), qPrintable(QString::number(e.dureeMs)));
}

QTEST_GUILESS_MAIN(TestBoutEnBoutMCF)
#include "tst_boutenboutmcf.moc"
