#include "programmesuivi.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

// Every invoice certified exactly once, whatever fails: concurrent runs of one reference, the
// engine killed at each step of a certification, an unusable register, invoices that must not be
// certified. Judged on what the device simulator and the e-MCF double validated, the register's
// rows and journal, the result files and the console.
class TestExactementUneFois : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void executionsSimultanees_data();
    void executionsSimultanees();
    void arretBrutal_data();
    void arretBrutal();
    void registreInutilisable_data();
    void registreInutilisable();
    void sansResultatFiscal_data();
    void sansResultatFiscal();
    void fermetureDUneFacturePayee_data();
    void fermetureDUneFacturePayee();
    void fermetureDIssueInconnue_data();
    void fermetureDIssueInconnue();

private:
    CertificatLocal m_certificat;
};

namespace {

// One validation seen by a simulator: the first item's name (the tests put the reference there)
// and the counters text it was given.
struct Validation
{
    QString article;
    QString compteurs;
};

// orvane-mcf-sim on a pseudo-terminal of its own, with the invoices it validated.
class Appareil : public SimulateurMCF
{
public:
    explicit Appareil(const QStringList &options = {}) : SimulateurMCF(options) {}
    QList<Validation> validations()
    {
        static const QRegularExpression motif(
            QStringLiteral("^facture validee (\\S+ \\S+) reference \"(.*)\" article \"(.*)\"$"));
        QList<Validation> v;
        for (const QString &l : lignes())
            if (const auto m = motif.match(l); m.hasMatch())
                v << Validation{m.captured(3), m.captured(1)};
        return v;
    }
};

// orvane-emcf-sim with the certificate made for this test run, with the invoices it validated.
class ServiceEmcf : public DoubleEmcf
{
public:
    explicit ServiceEmcf(const CertificatLocal &certificat, const QStringList &options = {})
        : DoubleEmcf(certificat, options)
    {
    }
    // A confirmation answered with a QR code validates the invoice submitted under that uid.
    QList<Validation> validations()
    {
        const QStringList l = lignes();
        QHash<QString, QString> articleParUid;
        QList<Validation> v;
        for (int i = 0; i + 1 < l.size(); ++i) {
            const QJsonObject reponse = corps(l.at(i + 1));
            if (l.at(i).startsWith(QStringLiteral("> POST "))) {
                const QString article = corps(l.at(i))
                                            .value(QStringLiteral("items"))
                                            .toArray()
                                            .first()
                                            .toObject()
                                            .value(QStringLiteral("name"))
                                            .toString();
                articleParUid.insert(reponse.value(QStringLiteral("uid")).toString(), article);
            } else if (l.at(i).startsWith(QStringLiteral("> PUT ")) &&
                       l.at(i).endsWith(QStringLiteral("/confirm")) &&
                       reponse.contains(QStringLiteral("qrCode"))) {
                const QString uid = l.at(i).section(QLatin1Char('/'), -2, -2);
                v << Validation{articleParUid.value(uid),
                                reponse.value(QStringLiteral("counters")).toString()};
            }
        }
        return v;
    }

private:
    static QJsonObject corps(const QString &ligne)
    {
        const qsizetype accolade = ligne.indexOf(QLatin1Char('{'));
        return accolade < 0 ? QJsonObject() : QJsonDocument::fromJson(ligne.mid(accolade).toUtf8()).object();
    }
};

// A till: the engine beside its app.xml and register, in `dossier`.
class Caisse
{
public:
    explicit Caisse(const QString &attributs, const QString &dossier = QString())
        : m_dossier(dossier.isEmpty() ? m_temporaire.path() : dossier)
    {
        installerMoteur(m_dossier);
        ecrire(QStringLiteral("app.xml"), QStringLiteral("<app %1/>").arg(attributs));
    }
    QString chemin(const QString &nom) const { return m_dossier + QLatin1Char('/') + nom; }
    void ecrire(const QString &nom, const QString &texte) const
    {
        QFile f(chemin(nom));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(texte.toUtf8());
    }
    // Starts the engine on the input file `nom` (`port` as third argument when not empty).
    std::unique_ptr<QProcess> lancer(const QString &nom, const QString &port,
                                     const QMap<QString, QString> &env,
                                     const QString &entree = QString()) const
    {
        auto moteur = std::make_unique<QProcess>();
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("ORVANE_MCF_WAIT_MS"), QString::number(attenteMs(1500)));
        for (auto it = env.begin(); it != env.end(); ++it)
            e.insert(it.key(), it.value());
        moteur->setProcessEnvironment(e);
        moteur->setWorkingDirectory(m_dossier);
        const QString fichier = entree.isEmpty() ? chemin(nom) : entree;
        QStringList arguments{fichier, fichier + QStringLiteral(".mcf")};
        if (!port.isEmpty())
            arguments << port;
        moteur->start(chemin(QStringLiteral("orvane-engine")), arguments);
        moteur->waitForStarted(attenteFauteMs);
        return moteur;
    }
    static QString terminer(QProcess &moteur)
    {
        if (!moteur.waitForFinished(attenteFauteMs)) {
            moteur.kill();
            moteur.waitForFinished(attenteFauteMs);
        }
        return QString::fromUtf8(moteur.readAllStandardOutput());
    }
    QString certifier(const QString &nom, const QString &port, const QMap<QString, QString> &env = {}) const
    {
        return terminer(*lancer(nom, port, env));
    }
    bool resultat(const QString &nom) const { return QFile::exists(chemin(nom + QStringLiteral(".mcf"))); }

    // Rows of table `facture`: reference -> counters text, in insertion order.
    QList<QPair<QString, QString>> lignesFacture() const
    {
        QList<QPair<QString, QString>> lignes;
        requete(
            QStringLiteral("select reference, mecef_compt from facture order by rowid"),
            [&lignes](QSqlQuery &q) { lignes << qMakePair(q.value(0).toString(), q.value(1).toString()); });
        return lignes;
    }
    // Writes to the register as a run would have left it.
    void executer(const QString &sql) const
    {
        requete(sql, [](QSqlQuery &) {});
    }
    QString etatJournal(const QString &reference) const
    {
        QString etat;
        requete(QStringLiteral("select reference, etat from certification"), [&](QSqlQuery &q) {
            if (q.value(0).toString() == reference)
                etat = q.value(1).toString();
        });
        return etat;
    }

private:
    template <typename F> void requete(const QString &sql, F &&parLigne) const
    {
        const QString nom = QStringLiteral("caisse-test");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nom);
            db.setDatabaseName(chemin(QStringLiteral("mcf.s3db")));
            if (db.open()) {
                QSqlQuery q(db);
                if (q.exec(sql))
                    while (q.next())
                        parLigne(q);
            }
        }
        QSqlDatabase::removeDatabase(nom);
    }

    QTemporaryDir m_temporaire;
    QString m_dossier;
};

const QString caisseAppareil = QStringLiteral("pays=\"Bénin\" jeton=\"\" portMCF=\"\" modePrix=\"TTC\"");
const QString caisseEmcf = QStringLiteral("pays=\"Bénin\" modeMCF=\"Développement\" jeton=\"jeton-de-test\"");

// An invoice whose first item is named after its reference, so that the simulators' validations
// say which invoice they were. `prix` changes the total.
QString facture(const QString &reference, const QString &prix = QStringLiteral("118"),
                const QString &quantite = QStringLiteral("2"))
{
    return QStringLiteral("%1;FV;Awa;7;E;Kofi;123;Cotonou;97000000;;;;\n"
                          "B;%2;%3;100;%4;;;;\n"
                          "A;Eau;1;500;500;;;;\n")
        .arg(reference, reference.isEmpty() ? QStringLiteral("SANS-REFERENCE") : reference, quantite, prix);
}

// What every test asks, whatever it did: no invoice validated twice; every validated invoice either
// in the register under its own reference with its own counters, or left pending for the operator
// (`--abandonner`); no row that no validation explains.
QString defautUneFois(const QList<Validation> &validations, const Caisse &caisse)
{
    QHash<QString, QString> valides;
    for (const Validation &v : validations) {
        if (valides.contains(v.article))
            return QStringLiteral("%1 validated twice (%2, %3)")
                .arg(v.article, valides.value(v.article), v.compteurs);
        valides.insert(v.article, v.compteurs);
    }
    QHash<QString, QString> lignes;
    for (const auto &[reference, compteurs] : caisse.lignesFacture()) {
        if (lignes.contains(reference))
            return QStringLiteral("%1 has two rows").arg(reference);
        lignes.insert(reference, compteurs);
        if (!valides.contains(reference))
            return QStringLiteral("row %1 (%2) matches no validation").arg(reference, compteurs);
        if (valides.value(reference) != compteurs)
            return QStringLiteral("row %1 holds %2, its invoice was validated as %3")
                .arg(reference, compteurs, valides.value(reference));
    }
    for (auto it = valides.begin(); it != valides.end(); ++it) {
        const QString etat = caisse.etatJournal(it.key());
        if (!lignes.contains(it.key()) && etat != QStringLiteral("fermeture envoyee") &&
            etat != QStringLiteral("issue inconnue") && etat != QStringLiteral("confirmation envoyee"))
            return QStringLiteral("%1 validated (%2), not in the register, journal \"%3\"")
                .arg(it.key(), it.value(), etat);
    }
    return QString();
}

#define VERIFIER_UNE_FOIS(validations, caisse, contexte)                                                     \
    do {                                                                                                     \
        const QString defaut = defautUneFois(validations, caisse);                                           \
        QVERIFY2(defaut.isEmpty(), qPrintable(defaut + QStringLiteral("\n") + (contexte)));                  \
    } while (false)

int validationsDe(const QList<Validation> &validations, const QString &reference)
{
    return int(std::count_if(validations.begin(), validations.end(),
                             [&](const Validation &v) { return v.article == reference; }));
}

} // namespace

void TestExactementUneFois::initTestCase()
{
    QVERIFY(m_certificat.pret());
}

void TestExactementUneFois::executionsSimultanees_data()
{
    QTest::addColumn<QString>("chemin");
    QTest::newRow("8 runs of one reference, one device each") << "appareils separes";
    QTest::newRow("8 runs of one reference, one shared device") << "appareil partage";
    QTest::newRow("8 runs of one reference, the e-MCF service") << "emcf";
}

void TestExactementUneFois::executionsSimultanees()
{
    QFETCH(QString, chemin);
    constexpr int executions = 8;
    const bool web = chemin == QStringLiteral("emcf");
    std::vector<std::unique_ptr<Appareil>> appareils;
    std::unique_ptr<ServiceEmcf> service;
    if (web) {
        service = std::make_unique<ServiceEmcf>(m_certificat);
        QVERIFY(!service->url.isEmpty());
    } else {
        for (int i = 0; i < (chemin == QStringLiteral("appareil partage") ? 1 : executions); ++i) {
            appareils.push_back(std::make_unique<Appareil>());
            QVERIFY(!appareils.back()->terminal.isEmpty());
        }
    }
    Caisse caisse(web ? caisseEmcf : caisseAppareil);
    const QMap<QString, QString> env{{QStringLiteral("ORVANE_EMCF_URL"), web ? service->url : QString()},
                                     {QStringLiteral("ORVANE_EMCF_CA"), m_certificat.certificat()}};
    std::vector<std::unique_ptr<QProcess>> moteurs;
    for (int i = 0; i < executions; ++i) {
        const QString nom = QStringLiteral("clic-%1.csv").arg(i);
        caisse.ecrire(nom, facture(QStringLiteral("DOUBLE-CLIC")));
        moteurs.push_back(
            caisse.lancer(nom, web ? QString() : appareils.at(i % appareils.size())->terminal, env));
    }
    QString consoles;
    for (auto &m : moteurs)
        consoles += Caisse::terminer(*m) + QStringLiteral("\n-----\n");

    QList<Validation> validations;
    for (auto &a : appareils)
        validations += a->validations();
    if (service)
        validations += service->validations();
    QCOMPARE(validationsDe(validations, QStringLiteral("DOUBLE-CLIC")), 1);
    QCOMPARE(caisse.lignesFacture().size(), 1);
    QCOMPARE(consoles.count(QStringLiteral("Insertion de la facture dans la base de donnees reussie.")), 1);
    VERIFIER_UNE_FOIS(validations, caisse, consoles);
}

void TestExactementUneFois::arretBrutal_data()
{
    QTest::addColumn<bool>("web");
    QTest::addColumn<QStringList>("pause");      // simulator options
    QTest::addColumn<QString>("recue");          // simulator line: the step arrived, its answer waits
    QTest::addColumn<QString>("repondue");       // simulator line: the late answer went out
    QTest::addColumn<bool>("memeFacture");       // then the same invoice again, or another one
    QTest::addColumn<int>("validationsA");       // of the invoice of the killed run, in the end
    QTest::addColumn<QString>("etatA");          // its journal state in the end
    QTest::addColumn<bool>("abandonnerSignale"); // the next run, whichever, tells the operator to release it

    struct Etape
    {
        const char *nom;
        bool web;
        const char *option;
        const char *pause;
        const char *recue;
        const char *repondue;
        int validations; // of the killed invoice, however the next run goes
        const char *etat;
    };
    const Etape etapes[] = {
        {"device machine state", false, "--pause-avant", "C1:1:300",
         "^pause de 300 ms avant la reponse a 0xC1 n°1$", "^envoye .*0xC1 n°1:", 0, "abandonnee"},
        {"device new invoice", false, "--pause-avant", "C0:1:300",
         "^pause de 300 ms avant la reponse a 0xC0 n°1$", "^envoye .*0xC0 n°1:", 0, "abandonnee"},
        {"device item", false, "--pause-avant", "31:1:300", "^pause de 300 ms avant la reponse a 0x31 n°1$",
         "^envoye .*0x31 n°1:", 0, "abandonnee"},
        {"device subtotal", false, "--pause-avant", "33:1:300",
         "^pause de 300 ms avant la reponse a 0x33 n°1$", "^envoye .*0x33 n°1:", 0, "abandonnee"},
        {"device payment", false, "--pause-avant", "35:1:300",
         "^pause de 300 ms avant la reponse a 0x35 n°1$", "^envoye .*0x35 n°1:", 1, "terminee"},
        // Validated, its reply lost: the next run's close is refused, the codes are lost and only the
        // operator can release the reference.
        {"device close", false, "--pause-avant", "38:1:300", "^pause de 300 ms avant la reponse a 0x38 n°1$",
         "^envoye .*0x38 n°1:", 1, "issue inconnue"},
        // The close never reached the device: the next run closes it again and records it.
        {"device close never received", false, "--sans-reponse", "38:1", "^silence sur 0x38 n°1$", "", 1,
         "terminee"},
        {"e-MCF submission", true, "--pause-avant", "soumission:300", "^  pause de 300 ms", "", 0,
         "abandonnee"},
        {"e-MCF confirmation", true, "--pause-avant", "decision:300", "^  pause de 300 ms", "", 1,
         "confirmation envoyee"},
    };
    for (const Etape &e : etapes) {
        for (const bool meme : {true, false}) {
            // Run again, the killed invoice ends certified once when nothing had committed it yet.
            const bool reprise = meme && e.validations == 0;
            QTest::addRow("%s, killed, %s", e.nom, meme ? "same invoice again" : "another invoice instead")
                << e.web << QStringList{QString::fromLatin1(e.option), QString::fromLatin1(e.pause)}
                << QString::fromUtf8(e.recue) << QString::fromUtf8(e.repondue) << meme
                << (reprise ? 1 : e.validations) << QString::fromLatin1(reprise ? "terminee" : e.etat)
                << (QByteArray(e.etat) == "issue inconnue" || QByteArray(e.etat) == "confirmation envoyee");
        }
    }
}

void TestExactementUneFois::arretBrutal()
{
    QFETCH(bool, web);
    QFETCH(QStringList, pause);
    QFETCH(QString, recue);
    QFETCH(QString, repondue);
    QFETCH(bool, memeFacture);
    QFETCH(int, validationsA);
    QFETCH(QString, etatA);
    QFETCH(bool, abandonnerSignale);

    std::unique_ptr<Appareil> appareil;
    std::unique_ptr<ServiceEmcf> service;
    ProgrammeSuivi *simulateur = nullptr;
    if (web) {
        service = std::make_unique<ServiceEmcf>(m_certificat, pause);
        QVERIFY(!service->url.isEmpty());
        simulateur = service.get();
    } else {
        appareil = std::make_unique<Appareil>(pause);
        QVERIFY(!appareil->terminal.isEmpty());
        simulateur = appareil.get();
    }
    const QString port = web ? QString() : appareil->terminal;
    Caisse caisse(web ? caisseEmcf : caisseAppareil);
    const QMap<QString, QString> env{{QStringLiteral("ORVANE_EMCF_URL"), web ? service->url : QString()},
                                     {QStringLiteral("ORVANE_EMCF_CA"), m_certificat.certificat()}};
    caisse.ecrire(QStringLiteral("a.csv"), facture(QStringLiteral("FAC-A")));
    caisse.ecrire(QStringLiteral("b.csv"),
                  facture(QStringLiteral("FAC-B"), QStringLiteral("236"), QStringLiteral("1")));

    {
        const std::unique_ptr<QProcess> tue = caisse.lancer(QStringLiteral("a.csv"), port, env);
        QVERIFY2(simulateur->attendre(QRegularExpression(recue)) >= 0,
                 qPrintable(simulateur->lignes().join(QLatin1Char('\n'))));
        tue->kill();
        tue->waitForFinished(attenteFauteMs);
    }
    // The device answers the killed run's last command before it reads anything else.
    if (!repondue.isEmpty())
        QVERIFY(simulateur->attendre(QRegularExpression(repondue)) >= 0);
    QVERIFY(!caisse.resultat(QStringLiteral("a.csv")));

    const QString suivante = memeFacture ? QStringLiteral("a.csv") : QStringLiteral("b.csv");
    const QString console = caisse.certifier(suivante, port, env);
    const QList<Validation> validations = web ? service->validations() : appareil->validations();
    const QString contexte =
        console + QStringLiteral("\n--- simulator:\n") + simulateur->lignes().join(QLatin1Char('\n'));

    VERIFIER_UNE_FOIS(validations, caisse, contexte);
    QCOMPARE(validationsDe(validations, QStringLiteral("FAC-A")), validationsA);
    QCOMPARE(caisse.etatJournal(QStringLiteral("FAC-A")), etatA);
    QCOMPARE(console.contains(QStringLiteral("orvane-engine --abandonner FAC-A")), abandonnerSignale);
    if (memeFacture) {
        // A result file exactly when the invoice is in the register.
        const bool enregistree = etatA == QStringLiteral("terminee");
        QVERIFY2(caisse.resultat(QStringLiteral("a.csv")) == enregistree, qPrintable(contexte));
    } else {
        QCOMPARE(validationsDe(validations, QStringLiteral("FAC-B")), 1);
        QVERIFY2(caisse.resultat(QStringLiteral("b.csv")), qPrintable(contexte));
        QCOMPARE(caisse.etatJournal(QStringLiteral("FAC-B")), QStringLiteral("terminee"));
    }
}

void TestExactementUneFois::registreInutilisable_data()
{
    QTest::addColumn<QString>("panne");
    QTest::newRow("garbage register file") << "illisible";
    QTest::newRow("read-only register file") << "lecture seule";
    QTest::newRow("full disk") << "disque plein";
    QTest::newRow("register locked by another till beyond the wait") << "verrou";
    QTest::newRow("table facture with other columns") << "autres colonnes";
    QTest::newRow("table facture with a required extra column") << "colonne exigee";
}

void TestExactementUneFois::registreInutilisable()
{
    QFETCH(QString, panne);
    Appareil appareil;
    QVERIFY(!appareil.terminal.isEmpty());

    QTemporaryDir montage;
    bool monte = false;
    if (panne == QStringLiteral("disque plein")) {
        // A small file system of its own, filled to the last byte once the register exists.
        QProcess mount;
        mount.start(QStringLiteral("mount"),
                    {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                     QStringLiteral("size=16m"), QStringLiteral("tmpfs"), montage.path()});
        monte = mount.waitForFinished(attenteFauteMs) && mount.exitStatus() == QProcess::NormalExit &&
                mount.exitCode() == 0;
        if (!monte)
            QSKIP("a small file system cannot be mounted here (needs root)");
    }
    auto demonter = qScopeGuard([&] {
        if (monte)
            QProcess::execute(QStringLiteral("umount"), {montage.path()});
    });
    Caisse caisse(caisseAppareil, monte ? montage.path() : QString());
    const QString registre = caisse.chemin(QStringLiteral("mcf.s3db"));
    // A register in use: created by a demonstration run.
    caisse.ecrire(QStringLiteral("demo.csv"), facture(QStringLiteral("DEMO-1")));
    caisse.certifier(QStringLiteral("demo.csv"), QStringLiteral("DEMO"));
    QVERIFY(QFile::exists(registre));

    const QString connexion = QStringLiteral("autre-caisse");
    auto fermerConnexion = qScopeGuard([&] { QSqlDatabase::removeDatabase(connexion); });
    QSqlDatabase autreCaisse = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connexion);
    autreCaisse.setDatabaseName(registre);
    QVERIFY(autreCaisse.open());
    QSqlQuery q(autreCaisse);
    bool immuable = false;
    if (panne == QStringLiteral("illisible")) {
        autreCaisse.close();
        QFile f(registre);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray(8192, '\x5a'));
    } else if (panne == QStringLiteral("lecture seule")) {
        autreCaisse.close();
#ifndef Q_OS_WIN
        if (::geteuid() == 0) {
            // Permissions do not stop root: the file is made immutable instead.
            immuable = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), registre}) == 0;
            if (!immuable)
                QSKIP("the register cannot be made read-only for root here (chattr)");
        }
#endif
        if (!immuable)
            QVERIFY(QFile::setPermissions(registre, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    } else if (panne == QStringLiteral("disque plein")) {
        autreCaisse.close();
        QFile remplissage(montage.filePath(QStringLiteral("remplissage")));
        QVERIFY(remplissage.open(QIODevice::WriteOnly));
        const QByteArray bloc(4096, '\0');
        while (remplissage.write(bloc) == bloc.size() && remplissage.flush()) {
        }
    } else if (panne == QStringLiteral("verrou")) {
        // Another till's write transaction, held beyond the engine's wait.
        QVERIFY(q.exec(QStringLiteral("begin immediate")));
        QVERIFY(q.exec(QStringLiteral("insert into facture (reference) values ('AUTRE-CAISSE')")));
    } else if (panne == QStringLiteral("autres colonnes")) {
        QVERIFY(q.exec(QStringLiteral("drop table facture")));
        QVERIFY(q.exec(
            QStringLiteral("create table facture (numero integer primary key, client text, montant real)")));
        autreCaisse.close();
    } else {
        QVERIFY(q.exec(QStringLiteral("alter table facture add column caissier text not null default ''")));
        QVERIFY(q.exec(QStringLiteral("create trigger caissier_exige before insert on facture "
                                      "begin select raise(abort, 'caissier exige'); end")));
        autreCaisse.close();
    }
    auto rendreModifiable = qScopeGuard([&] {
        if (immuable)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), registre});
    });

    caisse.ecrire(QStringLiteral("f.csv"), facture(QStringLiteral("FAC-R")));
    const QString console = caisse.certifier(QStringLiteral("f.csv"), appareil.terminal);
    if (autreCaisse.isOpen()) {
        q.exec(QStringLiteral("rollback"));
        autreCaisse.close();
    }
    const QString contexte =
        console + QStringLiteral("\n--- simulator:\n") + appareil.lignes().join(QLatin1Char('\n'));
    QVERIFY2(appareil.trames() == 0, qPrintable(contexte));
    QVERIFY2(!caisse.resultat(QStringLiteral("f.csv")), qPrintable(contexte));
    QVERIFY2(console.contains(QStringLiteral("la facture n'est pas certifiee")), qPrintable(contexte));
}

void TestExactementUneFois::sansResultatFiscal_data()
{
    QTest::addColumn<QString>("premiere");    // an invoice certified first, when not empty
    QTest::addColumn<QString>("seconde");     // the invoice judged
    QTest::addColumn<QStringList>("options"); // device faults
    QTest::addColumn<int>("validations");     // on the device in all
    QTest::addColumn<int>("fermetures");      // invoices the device cancelled

    const QString fac = facture(QStringLiteral("FAC-Z"));
    QTest::newRow("refused item: never paid, cancelled at close")
        << "" << fac << QStringList{"--nak", "31:2"} << 0 << 1;
    QTest::newRow("quantity inf") << ""
                                  << facture(QStringLiteral("FAC-Z"), QStringLiteral("118"),
                                             QStringLiteral("inf"))
                                  << QStringList() << 0 << 0;
    QTest::newRow("empty reference") << "" << facture(QString()) << QStringList() << 0 << 0;
    QTest::newRow("tab in the reference")
        << "" << facture(QStringLiteral("FAC\tZ")) << QStringList() << 0 << 0;
    QTest::newRow("reused reference with another total")
        << fac << facture(QStringLiteral("FAC-Z"), QStringLiteral("200")) << QStringList() << 1 << 0;
}

void TestExactementUneFois::sansResultatFiscal()
{
    QFETCH(QString, premiere);
    QFETCH(QString, seconde);
    QFETCH(QStringList, options);
    QFETCH(int, validations);
    QFETCH(int, fermetures);

    Appareil appareil(options);
    QVERIFY(!appareil.terminal.isEmpty());
    Caisse caisse(caisseAppareil);
    if (!premiere.isEmpty()) {
        caisse.ecrire(QStringLiteral("premiere.csv"), premiere);
        caisse.certifier(QStringLiteral("premiere.csv"), appareil.terminal);
        QVERIFY(caisse.resultat(QStringLiteral("premiere.csv")));
    }
    const int tramesAvant = appareil.trames();
    caisse.ecrire(QStringLiteral("f.csv"), seconde);
    const QString console = caisse.certifier(QStringLiteral("f.csv"), appareil.terminal);
    const QString contexte =
        console + QStringLiteral("\n--- simulator:\n") + appareil.lignes().join(QLatin1Char('\n'));

    QVERIFY2(!caisse.resultat(QStringLiteral("f.csv")), qPrintable(contexte));
    QCOMPARE(appareil.validations().size(), validations);
    QCOMPARE(int(appareil.lignes().filter(QRegularExpression(QStringLiteral("^facture annulee "))).size()),
             fermetures);
    // Refused before any traffic, unless the device itself refused something.
    if (fermetures == 0)
        QVERIFY2(appareil.trames() == tramesAvant, qPrintable(contexte));
    QCOMPARE(caisse.lignesFacture().size(), validations);
    VERIFIER_UNE_FOIS(appareil.validations(), caisse, contexte);
}

// Only one invoice can be open on a device. A run left FAC-A paid there; the journal also holds
// FAC-B as "ouverte", opened later, as a run leaves it that died just after the device refused its
// new invoice (FAC-A was open). When FAC-B is run again, the rows are settled first with one close:
// it validates FAC-A, which is FAC-A's certification, never FAC-B's (FAC-B was never paid).
void TestExactementUneFois::fermetureDUneFacturePayee_data()
{
    QTest::addColumn<QString>("etatA"); // FAC-A's row when FAC-B is run again
    QTest::addColumn<QString>("finA");  // and in the end
    QTest::newRow("paid: closed first, recorded as FAC-A") << "payee"
                                                           << "terminee";
    // Its close announced but lost on the way: the device still holds it paid, and the close
    // validates it.
    QTest::newRow("close announced, never received") << "fermeture envoyee"
                                                     << "terminee";
    // Released by the operator while the device held it open and paid: recorded rather than lost.
    QTest::newRow("released by the operator while open") << "abandonnee par l''operateur"
                                                         << "terminee";
}

void TestExactementUneFois::fermetureDUneFacturePayee()
{
    QFETCH(QString, etatA);
    QFETCH(QString, finA);

    Appareil appareil({QStringLiteral("--pause-avant"), QStringLiteral("35:1:300")});
    QVERIFY(!appareil.terminal.isEmpty());
    Caisse caisse(caisseAppareil);
    caisse.ecrire(QStringLiteral("a.csv"), facture(QStringLiteral("FAC-A")));
    caisse.ecrire(QStringLiteral("b.csv"),
                  facture(QStringLiteral("FAC-B"), QStringLiteral("236"), QStringLiteral("1")));
    {
        const std::unique_ptr<QProcess> tue = caisse.lancer(QStringLiteral("a.csv"), appareil.terminal, {});
        QVERIFY(appareil.attendre(QRegularExpression(
                    QStringLiteral("^pause de 300 ms avant la reponse a 0x35 n°1$"))) >= 0);
        tue->kill();
        tue->waitForFinished(attenteFauteMs);
    }
    QVERIFY(appareil.attendre(QRegularExpression(QStringLiteral("^envoye .*0x35 n°1:"))) >= 0);
    QCOMPARE(caisse.etatJournal(QStringLiteral("FAC-A")), QStringLiteral("payee"));
    caisse.executer(
        QStringLiteral("update certification set etat = '%1' where reference = 'FAC-A'").arg(etatA));
    // Written after FAC-A's row, by a run that no longer exists.
    caisse.executer(
        QStringLiteral(
            "insert into certification (reference, etat, chemin, destination, empreinte, "
            "uid, pid, identite, cree, modifie, ouverture) values ('FAC-B', 'ouverte', 'appareil', "
            "'%1', '', '', 2147483000, 'disparue', '2999-01-01T00:00:00.000Z', "
            "'2999-01-01T00:00:00.000Z', '2999-01-01T00:00:00.000Z')")
            .arg(appareil.terminal));
    QCOMPARE(caisse.etatJournal(QStringLiteral("FAC-B")), QStringLiteral("ouverte"));

    const QString console = caisse.certifier(QStringLiteral("b.csv"), appareil.terminal);
    const QList<Validation> validations = appareil.validations();
    const QString contexte =
        console + QStringLiteral("\n--- simulator:\n") + appareil.lignes().join(QLatin1Char('\n'));
    VERIFIER_UNE_FOIS(validations, caisse, contexte);
    QCOMPARE(validationsDe(validations, QStringLiteral("FAC-A")), 1);
    QCOMPARE(caisse.etatJournal(QStringLiteral("FAC-A")), finA);
    QVERIFY2(!console.contains(QStringLiteral("orvane-engine --abandonner FAC-A")), qPrintable(contexte));
    // FAC-B was never on the device: it is certified now, once.
    QCOMPARE(validationsDe(validations, QStringLiteral("FAC-B")), 1);
    QCOMPARE(caisse.etatJournal(QStringLiteral("FAC-B")), QStringLiteral("terminee"));
    QVERIFY2(caisse.resultat(QStringLiteral("b.csv")), qPrintable(contexte));
}

// A close whose outcome the run that sent it never learnt. The till goes on with the next invoice,
// and the left one is settled with the device: recorded once under its own reference when the
// device still held it, kept from any second certification when its codes are lost.
void TestExactementUneFois::fermetureDIssueInconnue_data()
{
    QTest::addColumn<QStringList>("options");   // of the device simulator
    QTest::addColumn<bool>("abandonner");       // the operator releases FAC-A before FAC-B
    QTest::addColumn<QString>("etatA");         // FAC-A's journal state after FAC-B
    QTest::addColumn<bool>("resultatA");        // FAC-A run again: reprinted
    QTest::addColumn<bool>("operateurSignale"); // and the operator told to check it

    QTest::newRow("close never arrives, then another invoice")
        << QStringList{"--sans-reponse", "38:1"} << false << "terminee" << true << false;
    QTest::newRow("close reply lost, then another invoice, then the first again")
        << QStringList{"--reponse-perdue", "38:1"} << false << "issue inconnue" << false << true;
    QTest::newRow("released by the operator while still open, then another invoice")
        << QStringList{"--sans-reponse", "38:1"} << true << "terminee" << true << false;
}

void TestExactementUneFois::fermetureDIssueInconnue()
{
    QFETCH(QStringList, options);
    QFETCH(bool, abandonner);
    QFETCH(QString, etatA);
    QFETCH(bool, resultatA);
    QFETCH(bool, operateurSignale);

    Appareil appareil(options);
    QVERIFY(!appareil.terminal.isEmpty());
    Caisse caisse(caisseAppareil);
    caisse.ecrire(QStringLiteral("a.csv"), facture(QStringLiteral("FAC-A")));
    caisse.ecrire(QStringLiteral("b.csv"),
                  facture(QStringLiteral("FAC-B"), QStringLiteral("236"), QStringLiteral("1")));

    QString console = caisse.certifier(QStringLiteral("a.csv"), appareil.terminal);
    QVERIFY2(!caisse.resultat(QStringLiteral("a.csv")), qPrintable(console));
    QCOMPARE(caisse.etatJournal(QStringLiteral("FAC-A")), QStringLiteral("fermeture envoyee"));
    if (abandonner) {
        QProcess operateur;
        operateur.start(caisse.chemin(QStringLiteral("orvane-engine")), {"--abandonner", "FAC-A"});
        QVERIFY(operateur.waitForFinished(attenteFauteMs));
        QCOMPARE(operateur.exitCode(), 0);
        QCOMPARE(caisse.etatJournal(QStringLiteral("FAC-A")), QStringLiteral("abandonnee par l'operateur"));
    }

    // The till goes on: the next invoice is certified, whatever FAC-A became.
    console += caisse.certifier(QStringLiteral("b.csv"), appareil.terminal);
    QList<Validation> validations = appareil.validations();
    QString contexte =
        console + QStringLiteral("\n--- simulator:\n") + appareil.lignes().join(QLatin1Char('\n'));
    VERIFIER_UNE_FOIS(validations, caisse, contexte);
    QCOMPARE(validationsDe(validations, QStringLiteral("FAC-B")), 1);
    QVERIFY2(caisse.resultat(QStringLiteral("b.csv")), qPrintable(contexte));
    QCOMPARE(validationsDe(validations, QStringLiteral("FAC-A")), 1);
    QCOMPARE(caisse.etatJournal(QStringLiteral("FAC-A")), etatA);

    // FAC-A again: reprinted when recorded, never certified a second time.
    const QString encore = caisse.certifier(QStringLiteral("a.csv"), appareil.terminal);
    validations = appareil.validations();
    contexte =
        console + encore + QStringLiteral("\n--- simulator:\n") + appareil.lignes().join(QLatin1Char('\n'));
    VERIFIER_UNE_FOIS(validations, caisse, contexte);
    QCOMPARE(validationsDe(validations, QStringLiteral("FAC-A")), 1);
    QCOMPARE(caisse.resultat(QStringLiteral("a.csv")), resultatA);
    QCOMPARE(encore.contains(QStringLiteral("orvane-engine --abandonner FAC-A")), operateurSignale);
}

QTEST_GUILESS_MAIN(TestExactementUneFois)
#include "tst_exactementunefois.moc"
