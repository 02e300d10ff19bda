#include "dialog.h"
#include "repondeur.h"

#include <attente.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFontComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStringEncoder>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

using Champs = QMap<QString, QString>; // object name -> value shown (check boxes as "1"/"0")

Q_DECLARE_METATYPE(Champs)

namespace {

const QStringList lignes = {
    "entreprise", "adresse", "rccm",    "ifu",         "telephone", "email",      "message",
    "logo",       "isf",     "dossier", "filtre",      "portMCF",   "serveurMCF", "jeton",
    "encodage",   "serveur", "port",    "utilisateur", "password",  "registre",   "motDePasseRegistre"};
const QStringList listes = {"pays", "mode", "modePrix", "modeMCF", "fontComboBox"};
const QStringList compteurs = {"fontSize", "timeout"};
// Fields whose text is hidden as typed, with the box that shows it.
const QMap<QString, QString> secrets = {{"jeton", "afficherJeton"},
                                        {"password", "afficherPassword"},
                                        {"motDePasseRegistre", "afficherMotDePasseRegistre"}};
const QStringList cases = {"logoTop",           "economieEspace",   "suppression",
                           "retraiterExistant", "transfererSortie", "optimize"};

// What the form shows before anything is loaded.
Champs etatsInitiaux()
{
    Champs c;
    for (const QString &nom : lignes)
        c[nom] = "";
    c["pays"] = "Bénin";
    c["mode"] = "Accès via HTTP";
    c["modePrix"] = "TTC";
    c["modeMCF"] = "Production";
    c["fontComboBox"] = "Lucida Console";
    c["fontSize"] = "6";
    c["timeout"] = "0";
    for (const QString &nom : cases)
        c[nom] = "0";
    c["suppression"] = "1";
    return c;
}

// What the form shows for a loaded file that sets no key at all: the lists show the empty value
// read, as they show any value they do not know.
Champs fichierVide()
{
    Champs c = etatsInitiaux();
    c["suppression"] = "0";
    c["timeout"] = "15";
    c["pays"] = "";
    c["modePrix"] = "";
    c["modeMCF"] = "";
    return c;
}

Champs avec(Champs base, const Champs &changements)
{
    for (auto it = changements.begin(); it != changements.end(); ++it)
        base[it.key()] = it.value();
    return base;
}

Champs valeursAffichees(const Dialog &dialogue)
{
    Champs c;
    for (const QString &nom : lignes) {
        auto *champ = dialogue.findChild<QLineEdit *>(nom);
        c[nom] = champ ? champ->text() : "<champ absent>";
    }
    for (const QString &nom : listes) {
        auto *champ = dialogue.findChild<QComboBox *>(nom);
        c[nom] = champ ? champ->currentText() : "<champ absent>";
    }
    for (const QString &nom : compteurs) {
        auto *champ = dialogue.findChild<QSpinBox *>(nom);
        c[nom] = champ ? QString::number(champ->value()) : "<champ absent>";
    }
    for (const QString &nom : cases) {
        auto *champ = dialogue.findChild<QCheckBox *>(nom);
        c[nom] = champ ? (champ->isChecked() ? "1" : "0") : "<champ absent>";
    }
    return c;
}

// Changes the fields as a user would leave them; false when a field or an item does not exist.
bool modifier(Dialog &dialogue, const Champs &changements)
{
    for (auto it = changements.begin(); it != changements.end(); ++it) {
        const QString &nom = it.key();
        const QString &valeur = it.value();
        if (auto *police = dialogue.findChild<QFontComboBox *>(nom)) {
            police->setEditText(valeur);
        } else if (auto *ligne = dialogue.findChild<QLineEdit *>(nom); ligne && lignes.contains(nom)) {
            ligne->setText(valeur);
        } else if (auto *liste = dialogue.findChild<QComboBox *>(nom)) {
            const int index = liste->findText(valeur);
            if (index < 0)
                return false;
            liste->setCurrentIndex(index);
        } else if (auto *compteur = dialogue.findChild<QSpinBox *>(nom)) {
            compteur->setValue(valeur.toInt());
        } else if (auto *caseACocher = dialogue.findChild<QCheckBox *>(nom)) {
            caseACocher->setChecked(valeur == "1");
        } else {
            return false;
        }
    }
    return true;
}

// The label of the form row that holds `champ`, alone or beside other widgets.
QWidget *etiquetteDe(QFormLayout &formulaire, QWidget *champ)
{
    for (int i = 0; i < formulaire.rowCount(); ++i) {
        QLayoutItem *element = formulaire.itemAt(i, QFormLayout::FieldRole);
        if (!element)
            continue;
        if (element->widget() == champ || (element->layout() && element->layout()->indexOf(champ) >= 0)) {
            QLayoutItem *libelle = formulaire.itemAt(i, QFormLayout::LabelRole);
            return libelle ? libelle->widget() : nullptr;
        }
    }
    return nullptr;
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

// The document written by OK from the initial states.
const QString documentInitial = QStringLiteral(
    "<app pays=\"Bénin\" isf=\"\" modePrix=\"TTC\" modeMCF=\"Production\" jeton=\"\" entreprise=\"\" "
    "adresse=\"\" telephone=\"\" email=\"\" message=\"\" mode=\"0\" ifu=\"\" rccm=\"\" portMCF=\"\" "
    "serveurMCF=\"\" filtre=\"\" suppression=\"1\" retraiterExistant=\"0\" transfererSortie=\"0\" "
    "dossier=\"\" encodage=\"\" logo=\"\" fontName=\"Lucida Console\" fontSize=\"6\" host=\"\" port=\"\" "
    "utilisateur=\"\" password=\"\" timeout=\"15\" optimize=\"0\" logoTop=\"0\" economieEspace=\"0\" "
    "registre=\"\" "
    "motDePasseRegistre=\"\"/>\n");

// `base` with the given attribute values (already escaped) and extra attributes appended.
QString document(QString base, const QList<QPair<QString, QString>> &valeurs, const QString &ajout = {})
{
    for (const auto &[cle, valeur] : valeurs) {
        const QRegularExpression attribut(QStringLiteral(" %1=\"[^\"]*\"").arg(cle));
        if (!base.contains(attribut))
            return QStringLiteral("<clé inconnue %1>").arg(cle);
        base.replace(attribut, QStringLiteral(" %1=\"%2\"").arg(cle, valeur));
    }
    if (!ajout.isEmpty())
        base.replace(QStringLiteral("/>\n"), QStringLiteral(" %1/>\n").arg(ajout));
    return base;
}

// One attribute per line, so that a failed comparison points at the attribute that differs.
QStringList parAttribut(const QString &documentXml)
{
    QString texte = documentXml;
    return texte.replace(QStringLiteral("\" "), QStringLiteral("\"\n ")).split('\n');
}

const QByteArray fichierComplet =
    "<app economieEspace=\"1\" logoTop=\"1\" optimize=\"1\" timeout=\"30\" password=\"s3cret\" "
    "utilisateur=\"caisse\" port=\"21\" host=\"ftp.port.bj\" fontSize=\"9\" fontName=\"Courier Neuf\" "
    "logo=\"C:\\logo.png\" encodage=\"7\" dossier=\"C:\\factures\" transfererSortie=\"1\" "
    "retraiterExistant=\"1\" suppression=\"0\" filtre=\"*.csv\" serveurMCF=\"srv-mcf\" portMCF=\"COM3\" "
    "rccm=\"RB/COT/24 B 0001\" ifu=\"3201234567890\" mode=\"2\" message=\"Merci &amp; &#224; bient&#xF4;t\" "
    "email=\"contact@port.bj\" telephone=\"+229 21 00 00 00\" adresse=\"Lot 12, Akpakpa\" "
    "entreprise=\"Boulangerie &quot;du Port&quot;\" jeton=\"eyJhbGciOi.x\" modeMCF=\"D\xc3\xa9veloppement\" "
    "modePrix=\"HT\" isf=\"ISF-77\" pays=\"Niger\"/>";

const Champs champsComplets = {
    {"pays", "Niger"},
    {"entreprise", "Boulangerie \"du Port\""},
    {"adresse", "Lot 12, Akpakpa"},
    {"rccm", "RB/COT/24 B 0001"},
    {"ifu", "3201234567890"},
    {"telephone", "+229 21 00 00 00"},
    {"email", "contact@port.bj"},
    {"message", "Merci & à bientôt"},
    {"logo", "C:\\logo.png"},
    {"fontComboBox", "Courier Neuf"},
    {"fontSize", "9"},
    {"logoTop", "1"},
    {"economieEspace", "1"},
    {"isf", "ISF-77"},
    {"mode", "Repertoire local"},
    {"modePrix", "HT"},
    {"dossier", "C:\\factures"},
    {"filtre", "*.csv"},
    {"portMCF", "COM3"},
    {"serveurMCF", "srv-mcf"},
    {"modeMCF", "Développement"},
    {"jeton", "eyJhbGciOi.x"},
    {"encodage", "7"},
    {"suppression", "0"},
    {"retraiterExistant", "1"},
    {"serveur", "ftp.port.bj"},
    {"port", "21"},
    {"utilisateur", "caisse"},
    {"password", "s3cret"},
    {"timeout", "30"},
    {"transfererSortie", "1"},
    {"optimize", "1"},
};

const QString documentComplet = QStringLiteral(
    "<app pays=\"Niger\" isf=\"ISF-77\" modePrix=\"HT\" modeMCF=\"Développement\" jeton=\"eyJhbGciOi.x\" "
    "entreprise=\"Boulangerie &quot;du Port&quot;\" adresse=\"Lot 12, Akpakpa\" telephone=\"+229 21 00 00 "
    "00\" "
    "email=\"contact@port.bj\" message=\"Merci &amp; à bientôt\" mode=\"2\" ifu=\"3201234567890\" "
    "rccm=\"RB/COT/24 B 0001\" portMCF=\"COM3\" serveurMCF=\"srv-mcf\" filtre=\"*.csv\" suppression=\"0\" "
    "retraiterExistant=\"1\" transfererSortie=\"1\" dossier=\"C:\\factures\" encodage=\"7\" "
    "logo=\"C:\\logo.png\" fontName=\"Courier Neuf\" fontSize=\"9\" host=\"ftp.port.bj\" port=\"21\" "
    "utilisateur=\"caisse\" password=\"s3cret\" timeout=\"30\" optimize=\"1\" logoTop=\"1\" "
    "economieEspace=\"1\" registre=\"\" motDePasseRegistre=\"\"/>\n");

const QString documentFichierVide =
    document(documentInitial, {{"suppression", "0"}, {"pays", ""}, {"modePrix", ""}, {"modeMCF", ""}});

} // namespace

class TestDialogue : public QObject
{
    Q_OBJECT

private slots:
    void formulaire_data();
    void formulaire();
    void chargement_data();
    void chargement();
    void enregistrement_data();
    void enregistrement();
    void fermetureSansEnregistrer_data();
    void fermetureSansEnregistrer();
    void fichierNonInscriptible();
    void fichierIllisible_data();
    void fichierIllisible();
    void secretsMasques_data();
    void secretsMasques();
    void repertoireCourant();
};

// Every field sits on its tab beside its French label, under the name the slots and the file rely on.
void TestDialogue::formulaire_data()
{
    QTest::addColumn<QString>("onglet");
    QTest::addColumn<QString>("champ");
    QTest::addColumn<QString>("libelle");

    const QList<std::array<const char *, 3>> rangees = {
        {"entete_tab", "pays", "Pays:"},
        {"entete_tab", "entreprise", "Entreprise:"},
        {"entete_tab", "adresse", "Adresse:"},
        {"entete_tab", "rccm", "RCCM:"},
        {"entete_tab", "ifu", "Identifiant Fiscal:"},
        {"entete_tab", "telephone", "Téléphone:"},
        {"entete_tab", "email", "E-mail:"},
        {"entete_tab", "message", "Message aux clients:"},
        {"entete_tab", "logo", "Emplacement logo:"},
        {"entete_tab", "fontComboBox", "Police:"},
        {"entete_tab", "fontSize", "Taille de police:"},
        {"entete_tab", "logoTop", "Mettre le logo au dessus du doccument"},
        {"entete_tab", "economieEspace", "Economiser l'espace lors de l'impression"},
        {"general_tab", "isf", "ISF:"},
        {"general_tab", "mode", "Mode d'accès aux données:"},
        {"general_tab", "modePrix", "Mode de prix MCF:"},
        {"general_tab", "dossier", "Localisation des données:"},
        {"general_tab", "filtre", "Filtrage des fichiers:"},
        {"general_tab", "portMCF", "Port série MCF:"},
        {"general_tab", "serveurMCF", "Serveur MCF:"},
        {"general_tab", "modeMCF", "Mode e-MCF"},
        {"general_tab", "jeton", "Jeton e-MCF:"},
        {"general_tab", "encodage", "Encodage:"},
        {"general_tab", "registre", "Registre partagé:"},
        {"general_tab", "motDePasseRegistre", "Mot de passe du registre:"},
        {"general_tab", "suppression", "Supprimer les fichiers après traitement"},
        {"general_tab", "retraiterExistant", "Retraiter des fichiers existants"},
        {"ftp_tab", "serveur", "Serveur:"},
        {"ftp_tab", "port", "Port:"},
        {"ftp_tab", "utilisateur", "Utilisateur:"},
        {"ftp_tab", "password", "Mot de passe:"},
        {"ftp_tab", "timeout", "Timeout:"},
        {"ftp_tab", "transfererSortie", "Tansférer les fichiers de sortie"},
        {"ftp_tab", "optimize", "Optimiser le traffic FTP"},
    };
    for (const auto &r : rangees)
        QTest::newRow(r[1]) << r[0] << r[1] << QString::fromUtf8(r[2]);
}

void TestDialogue::formulaire()
{
    QFETCH(QString, onglet);
    QFETCH(QString, champ);
    QFETCH(QString, libelle);

    QTemporaryDir dossier;
    Dialog dialogue(dossier.filePath("app.xml"));
    QCOMPARE(dialogue.windowTitle(), QString("Configuration Orvane MCF API"));
    auto *onglets = dialogue.findChild<QTabWidget *>("tabWidget");
    QVERIFY(onglets);
    QCOMPARE(onglets->currentIndex(), 0);
    QCOMPARE(onglets->count(), 5);
    const QStringList titres = {onglets->tabText(0), onglets->tabText(1), onglets->tabText(2),
                                onglets->tabText(3), onglets->tabText(4)};
    QCOMPARE(titres, QStringList({"Configuration de l'application", "Paramètres généraux", "Paramètres FTP",
                                  "Factures en suspens", "Factures certifiées"}));

    QWidget *page = onglets->findChild<QWidget *>(onglet);
    QVERIFY(page);
    QWidget *widget = page->findChild<QWidget *>(champ);
    QVERIFY2(widget, qPrintable(champ + " absent de " + onglet));
    if (auto *caseACocher = qobject_cast<QCheckBox *>(widget)) {
        QCOMPARE(caseACocher->text(), libelle);
    } else {
        auto *formulaire = page->findChild<QFormLayout *>();
        QVERIFY(formulaire);
        auto *etiquette = qobject_cast<QLabel *>(etiquetteDe(*formulaire, widget));
        QVERIFY(etiquette);
        QCOMPARE(etiquette->text(), libelle);
        if (auto *ligne = qobject_cast<QLineEdit *>(widget))
            QCOMPARE(ligne->echoMode(), secrets.contains(champ) ? QLineEdit::Password : QLineEdit::Normal);
        if (auto *compteur = qobject_cast<QSpinBox *>(widget)) {
            QCOMPARE(compteur->minimum(), 0);
            QCOMPARE(compteur->maximum(), 99);
        }
    }

    auto *arret = dialogue.findChild<QPushButton *>("stopBtn");
    QVERIFY(arret);
    QCOMPARE(arret->text(), QString("Arrêter le serveur MCF"));
    auto *boutons = dialogue.findChild<QDialogButtonBox *>("buttonBox");
    QVERIFY(boutons);
    QCOMPARE(boutons->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(boutons->button(QDialogButtonBox::Cancel)->text(), QString("Annuler"));
}

void TestDialogue::chargement_data()
{
    QTest::addColumn<bool>("existe");
    QTest::addColumn<QByteArray>("contenu");
    QTest::addColumn<Champs>("attendu");

    QTest::newRow("no file: initial states") << false << QByteArray() << etatsInitiaux();
    QTest::newRow("unparsable file: initial states")
        << true << QByteArray("<app pays=\"Niger\" isf=\"X\"") << etatsInitiaux();
    QTest::newRow("empty file: initial states") << true << QByteArray() << etatsInitiaux();
    QTest::newRow("every key, in any order")
        << true << fichierComplet << avec(etatsInitiaux(), champsComplets);
    QTest::newRow("element without attributes: suppression cleared, timeout 15")
        << true << QByteArray("<app/>") << fichierVide();
    QTest::newRow("any element name")
        << true << QByteArray("<config isf=\"A\"/>") << avec(fichierVide(), {{"isf", "A"}});
    QTest::newRow("timeout 0 shows 15")
        << true << QByteArray("<app timeout=\"0\"/>") << avec(fichierVide(), {{"timeout", "15"}});
    QTest::newRow("timeout negative shows 15")
        << true << QByteArray("<app timeout=\"-4\"/>") << avec(fichierVide(), {{"timeout", "15"}});
    QTest::newRow("timeout 1 kept") << true << QByteArray("<app timeout=\"1\"/>")
                                    << avec(fichierVide(), {{"timeout", "1"}});
    QTest::newRow("timeout 150 shows 99")
        << true << QByteArray("<app timeout=\"150\"/>") << avec(fichierVide(), {{"timeout", "99"}});
    QTest::newRow("timeout word shows 15")
        << true << QByteArray("<app timeout=\"dix\"/>") << avec(fichierVide(), {{"timeout", "15"}});
    QTest::newRow("unknown pays shown as written")
        << true << QByteArray("<app pays=\"Benin\"/>") << avec(fichierVide(), {{"pays", "Benin"}});
    QTest::newRow("pays in other case shown as written")
        << true << QByteArray("<app pays=\"NIGER\"/>") << avec(fichierVide(), {{"pays", "NIGER"}});
    QTest::newRow("modeMCF and modePrix in other case shown as written")
        << true << QByteArray("<app modeMCF=\"developpement\" modePrix=\"ttc\"/>")
        << avec(fichierVide(), {{"modeMCF", "developpement"}, {"modePrix", "ttc"}});
    QTest::newRow("empty modePrix shown empty")
        << true << QByteArray("<app modePrix=\"\" pays=\"Niger\" modeMCF=\"Production\"/>")
        << avec(fichierVide(), {{"pays", "Niger"}, {"modeMCF", "Production"}});
    QTest::newRow("known values selected")
        << true << QByteArray("<app modePrix=\"HT\" pays=\"Bénin\" modeMCF=\"Développement\"/>")
        << avec(fichierVide(), {{"pays", "Bénin"}, {"modePrix", "HT"}, {"modeMCF", "Développement"}});
    QTest::newRow("switches written as 2 are on")
        << true << QByteArray("<app logoTop=\"2\" suppression=\"2\" optimize=\"-1\"/>")
        << avec(fichierVide(), {{"logoTop", "1"}, {"suppression", "1"}, {"optimize", "1"}});
    QTest::newRow("switches written as words are off")
        << true << QByteArray("<app logoTop=\"yes\" suppression=\"oui\" economieEspace=\"true\"/>")
        << fichierVide();
    QTest::newRow("optimize on, transfererSortie off")
        << true << QByteArray("<app optimize=\"1\" transfererSortie=\"0\"/>")
        << avec(fichierVide(), {{"optimize", "1"}});
    QTest::newRow("mode by index") << true << QByteArray("<app mode=\"1\"/>")
                                   << avec(fichierVide(), {{"mode", "Accès via FTP"}});
    QTest::newRow("mode out of range keeps first item")
        << true << QByteArray("<app mode=\"3\"/>") << fichierVide();
    QTest::newRow("mode negative keeps first item")
        << true << QByteArray("<app mode=\"-1\"/>") << fichierVide();
    QTest::newRow("fontSize 0 keeps 6, empty fontName keeps Lucida Console")
        << true << QByteArray("<app fontSize=\"0\" fontName=\"\"/>") << fichierVide();
    QTest::newRow("fontSize 150 shows 99")
        << true << QByteArray("<app fontSize=\"150\"/>") << avec(fichierVide(), {{"fontSize", "99"}});
    QTest::newRow("fontSize negative shows 0")
        << true << QByteArray("<app fontSize=\"-3\"/>") << avec(fichierVide(), {{"fontSize", "0"}});
    QTest::newRow("UTF-16 file with byte-order mark")
        << true
        << QByteArray(QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom)
                          .encode(QStringLiteral("<app pays=\"Niger\" adresse=\"Zinder é\"/>")))
        << avec(fichierVide(), {{"pays", "Niger"}, {"adresse", "Zinder é"}});
}

void TestDialogue::chargement()
{
    QFETCH(bool, existe);
    QFETCH(QByteArray, contenu);
    QFETCH(Champs, attendu);

    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QString chemin = dossier.filePath("app.xml");
    if (existe)
        QVERIFY(ecrire(chemin, contenu));

    Dialog dialogue(chemin);
    QCOMPARE(valeursAffichees(dialogue), attendu);
}

void TestDialogue::enregistrement_data()
{
    QTest::addColumn<bool>("existe");
    QTest::addColumn<QByteArray>("contenu");
    QTest::addColumn<Champs>("modifications");
    QTest::addColumn<QString>("attendu");

    QTest::newRow("no file: initial states written") << false << QByteArray() << Champs{} << documentInitial;
    QTest::newRow("empty file replaced by initial states")
        << true << QByteArray(" \n") << Champs{} << documentInitial;
    QTest::newRow("every key written back unchanged")
        << true << fichierComplet << Champs{} << documentComplet;
    QTest::newRow("timeout absent saved as 15")
        << true << QByteArray("<app/>") << Champs{} << documentFichierVide;
    QTest::newRow("timeout 0 saved as 15")
        << true << QByteArray("<app timeout=\"0\"/>") << Champs{} << documentFichierVide;
    QTest::newRow("timeout 150 saved as 99") << true << QByteArray("<app timeout=\"150\"/>") << Champs{}
                                             << document(documentFichierVide, {{"timeout", "99"}});
    QTest::newRow("timeout set to 0 in the form saved as 15")
        << true << QByteArray("<app timeout=\"20\"/>") << Champs{{"timeout", "0"}} << documentFichierVide;
    QTest::newRow("unknown pays saved as written") << true << QByteArray("<app pays=\"Togo\"/>") << Champs{}
                                                   << document(documentFichierVide, {{"pays", "Togo"}});
    QTest::newRow("empty modePrix kept empty")
        << true << QByteArray("<app modePrix=\"\" pays=\"Niger\"/>") << Champs{}
        << document(documentFichierVide, {{"pays", "Niger"}});
    QTest::newRow("unknown modePrix kept as written")
        << true << QByteArray("<app modePrix=\" ttc &amp;\" pays=\"Niger\"/>") << Champs{}
        << document(documentFichierVide, {{"pays", "Niger"}, {"modePrix", " ttc &amp;"}});
    QTest::newRow("empty modePrix chosen in the list")
        << true << QByteArray("<app modePrix=\"HT\"/>") << Champs{{"modePrix", ""}} << documentFichierVide;
    QTest::newRow("ticket width of the renderer kept")
        << true << QByteArray("<app largeurTicket=\"48\"/>") << Champs{}
        << document(documentFichierVide, {}, "largeurTicket=\"48\"");
    QTest::newRow("unknown modeMCF kept as written")
        << true << QByteArray("<app modeMCF=\"Test\"/>") << Champs{}
        << document(documentFichierVide, {{"modeMCF", "Test"}});
    QTest::newRow("optimize on, transfererSortie off kept")
        << true << QByteArray("<app optimize=\"1\" transfererSortie=\"0\"/>") << Champs{}
        << document(documentFichierVide, {{"optimize", "1"}, {"transfererSortie", "0"}});
    QTest::newRow("switch 2 saved as 1, switch word saved as 0")
        << true << QByteArray("<app economieEspace=\"2\" logoTop=\"yes\"/>") << Champs{}
        << document(documentFichierVide, {{"economieEspace", "1"}, {"logoTop", "0"}});
    QTest::newRow("mode out of range saved as 0")
        << true << QByteArray("<app mode=\"7\"/>") << Champs{} << documentFichierVide;
    QTest::newRow("unmanaged keys kept after the editor's")
        << true
        << QByteArray(
               "<app tolerance=\"0.5\" pays=\"Niger\" apiVersion=\"1\" serveurWeb=\"a&amp;b &lt;c&gt;\" "
               "vide=\"\"/>")
        << Champs{}
        << document(documentFichierVide, {{"pays", "Niger"}},
                    "tolerance=\"0.5\" apiVersion=\"1\" serveurWeb=\"a&amp;b &lt;c&gt;\" vide=\"\"");
    QTest::newRow("edits written") << true << fichierComplet
                                   << Champs{{"pays", "Bénin"},
                                             {"entreprise", "Épicerie <Chez Awa> & fils"},
                                             {"jeton", ""},
                                             {"mode", "Accès via HTTP"},
                                             {"modePrix", "TTC"},
                                             {"modeMCF", "Production"},
                                             {"fontComboBox", "DejaVu Sans Mono"},
                                             {"fontSize", "0"},
                                             {"optimize", "0"},
                                             {"suppression", "1"},
                                             {"password", "mot \"de\" passe"},
                                             {"timeout", "99"}}
                                   << document(documentComplet,
                                               {{"pays", "Bénin"},
                                                {"entreprise", "Épicerie &lt;Chez Awa&gt; &amp; fils"},
                                                {"jeton", ""},
                                                {"mode", "0"},
                                                {"modePrix", "TTC"},
                                                {"modeMCF", "Production"},
                                                {"fontName", "DejaVu Sans Mono"},
                                                {"fontSize", "0"},
                                                {"optimize", "0"},
                                                {"suppression", "1"},
                                                {"password", "mot &quot;de&quot; passe"},
                                                {"timeout", "99"}});
}

void TestDialogue::enregistrement()
{
    QFETCH(bool, existe);
    QFETCH(QByteArray, contenu);
    QFETCH(Champs, modifications);
    QFETCH(QString, attendu);

    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QString chemin = dossier.filePath("app.xml");
    if (existe)
        QVERIFY(ecrire(chemin, contenu));

    Dialog dialogue(chemin);
    dialogue.show();
    QVERIFY(modifier(dialogue, modifications));
    auto *boutons = dialogue.findChild<QDialogButtonBox *>("buttonBox");
    QVERIFY(boutons);
    boutons->button(QDialogButtonBox::Ok)->click();

    QVERIFY(!dialogue.isVisible());
    QCOMPARE(dialogue.result(), int(QDialog::Accepted));
    const QByteArray ecrit = lire(chemin);
    QCOMPARE(parAttribut(QString::fromUtf8(ecrit)), parAttribut(attendu));
    QCOMPARE(ecrit, attendu.toUtf8());
}

void TestDialogue::fermetureSansEnregistrer_data()
{
    QTest::addColumn<QString>("geste");
    QTest::addColumn<bool>("existe");

    for (const char *geste : {"Cancel", "Escape", "close box"}) {
        QTest::newRow(qPrintable(QString("%1, existing file").arg(geste))) << geste << true;
        QTest::newRow(qPrintable(QString("%1, no file").arg(geste))) << geste << false;
    }
}

void TestDialogue::fermetureSansEnregistrer()
{
    QFETCH(QString, geste);
    QFETCH(bool, existe);

    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QString chemin = dossier.filePath("app.xml");
    // Written by hand: attribute order, spacing and a missing final newline that a save would change.
    const QByteArray original = "<app  timeout=\"0\" pays=\"Benin\"\n  isf=\"X\" tolerance=\"0,5\"/>";
    if (existe)
        QVERIFY(ecrire(chemin, original));

    Dialog dialogue(chemin);
    dialogue.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialogue, attenteFauteMs));
    QVERIFY(modifier(dialogue, {{"isf", "modifié"}, {"optimize", "1"}, {"pays", "Niger"}}));

    if (geste == "Cancel") {
        dialogue.findChild<QDialogButtonBox *>("buttonBox")->button(QDialogButtonBox::Cancel)->click();
    } else if (geste == "Escape") {
        QWidget *cible = dialogue.focusWidget() ? dialogue.focusWidget() : &dialogue;
        QTest::keyClick(cible, Qt::Key_Escape);
    } else {
        QVERIFY(dialogue.close());
    }

    QVERIFY(!dialogue.isVisible());
    QCOMPARE(dialogue.result(), int(QDialog::Rejected));
    if (existe)
        QCOMPARE(lire(chemin), original);
    QCOMPARE(QDir(dossier.path()).entryList(QDir::Files | QDir::Hidden),
             existe ? QStringList{"app.xml"} : QStringList{});
}

// OK on a file that cannot be replaced (here a folder of that name): the dialog closes, nothing is
// written and nothing is left behind.
void TestDialogue::fichierNonInscriptible()
{
    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QString chemin = dossier.filePath("app.xml");
    QVERIFY(QDir().mkpath(chemin));

    Dialog dialogue(chemin);
    dialogue.show();
    QCOMPARE(valeursAffichees(dialogue), etatsInitiaux());
    QVERIFY(modifier(dialogue, {{"entreprise", "Perdu"}}));
    dialogue.findChild<QDialogButtonBox *>("buttonBox")->button(QDialogButtonBox::Ok)->click();

    QVERIFY(!dialogue.isVisible());
    QVERIFY(QFileInfo(chemin).isDir());
    QVERIFY(QDir(chemin).isEmpty());
    QCOMPARE(QDir(dossier.path()).entryList(QDir::Files | QDir::Hidden), QStringList{});
}

void TestDialogue::fichierIllisible_data()
{
    QTest::addColumn<QByteArray>("contenu");
    QTest::addColumn<QString>("choix"); // button of the question, empty when none must be asked
    QTest::addColumn<bool>("remplace");

    const QByteArray casse = "<app tolerance=\"0.5\" pays=\"Niger\" modePrix=\"\"";
    QTest::newRow("unparsable, user declines: file untouched, dialog open")
        << casse << "nePasEnregistrer" << false;
    QTest::newRow("unparsable, question closed: file untouched") << casse << "" << false;
    QTest::newRow("unparsable, copy then save") << casse << "copierPuisEnregistrer" << true;
    QTest::newRow("binary content, user declines")
        << QByteArray("\x00\xff\xfe<app", 5) << "nePasEnregistrer" << false;
}

// OK on a file that exists but does not parse never replaces it unasked: the dialog says so and
// offers to keep a copy first.
void TestDialogue::fichierIllisible()
{
    QFETCH(QByteArray, contenu);
    QFETCH(QString, choix);
    QFETCH(bool, remplace);

    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QString chemin = dossier.filePath("app.xml");
    QVERIFY(ecrire(chemin, contenu));

    Dialog dialogue(chemin);
    dialogue.show();
    QVERIFY(modifier(dialogue, {{"entreprise", "Nouvelle"}}));
    // Without a choice the question is closed as by Escape.
    Repondeur repondeur(
        {{QStringLiteral("fichierIllisible"), choix.isEmpty() ? QStringLiteral("-") : choix}});
    dialogue.findChild<QDialogButtonBox *>("buttonBox")->button(QDialogButtonBox::Ok)->click();

    QCOMPARE(repondeur.boitesVues, QStringList{"fichierIllisible"});
    QVERIFY2(repondeur.textesVus.value(0).contains("illisible"), qPrintable(repondeur.textesVus.value(0)));
    QCOMPARE(repondeur.inattendues, QStringList{});
    const QStringList copies = QDir(dossier.path()).entryList({"app.xml.illisible-*"}, QDir::Files);
    if (!remplace) {
        QVERIFY(dialogue.isVisible());
        QCOMPARE(lire(chemin), contenu);
        QCOMPARE(copies, QStringList{});
        return;
    }
    QVERIFY(!dialogue.isVisible());
    QCOMPARE(copies.size(), 1);
    QCOMPARE(lire(dossier.filePath(copies.first())), contenu);
    QCOMPARE(QString::fromUtf8(lire(chemin)), document(documentInitial, {{"entreprise", "Nouvelle"}}));
}

void TestDialogue::secretsMasques_data()
{
    QTest::addColumn<QString>("champ");
    QTest::addColumn<QString>("afficher");
    for (auto it = secrets.begin(); it != secrets.end(); ++it)
        QTest::newRow(qPrintable(it.key())) << it.key() << it.value();
}

// The FTP password and the e-MCF token are hidden as typed; their box shows them and hides them
// again, and what is saved is the text itself.
void TestDialogue::secretsMasques()
{
    QFETCH(QString, champ);
    QFETCH(QString, afficher);

    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    Dialog dialogue(dossier.filePath("app.xml"));
    dialogue.show();
    auto *ligne = dialogue.findChild<QLineEdit *>(champ);
    auto *bascule = dialogue.findChild<QCheckBox *>(afficher);
    QVERIFY(ligne && bascule);
    QCOMPARE(bascule->text(), QString("Afficher"));
    QCOMPARE(ligne->echoMode(), QLineEdit::Password);
    QTest::keyClicks(ligne, "s3cr3t");
    QCOMPARE(ligne->displayText().contains("s3cr3t"), false);
    bascule->click();
    QCOMPARE(ligne->echoMode(), QLineEdit::Normal);
    QCOMPARE(ligne->displayText(), QString("s3cr3t"));
    bascule->click();
    QCOMPARE(ligne->echoMode(), QLineEdit::Password);

    dialogue.findChild<QDialogButtonBox *>("buttonBox")->button(QDialogButtonBox::Ok)->click();
    // Each secret field is saved under its own object name.
    const QString cle = champ;
    QCOMPARE(QString::fromUtf8(lire(dossier.filePath("app.xml"))),
             document(documentInitial, {{cle, "s3cr3t"}}));
}

// Built without a path, the dialog edits app.xml in the current working directory.
void TestDialogue::repertoireCourant()
{
    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    QVERIFY(ecrire(dossier.filePath("app.xml"), "<app pays=\"Niger\" apiVersion=\"1\"/>"));
    const QString precedent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dossier.path()));

    {
        Dialog dialogue;
        QCOMPARE(valeursAffichees(dialogue), avec(fichierVide(), {{"pays", "Niger"}}));
        QVERIFY(modifier(dialogue, {{"isf", "courant"}}));
        dialogue.findChild<QDialogButtonBox *>("buttonBox")->button(QDialogButtonBox::Ok)->click();
    }
    QVERIFY(QDir::setCurrent(precedent));

    QCOMPARE(QString::fromUtf8(lire(dossier.filePath("app.xml"))),
             document(documentFichierVide, {{"pays", "Niger"}, {"isf", "courant"}}, "apiVersion=\"1\""));
}

QTEST_MAIN(TestDialogue)
#include "tst_dialogue.moc"
