#include "fluxscripte.h"

#include <device/portmcf.h>
#include <device/sequencefacture.h>

#include <QTest>

#include <sstream>

namespace {

// The port of a scripted device: opening gives the outcome the test chose.
class PortFactice : public PortMCF
{
public:
    OuverturePort issue = OuverturePort::Ouvert;
    int ouvertures = 0;
    int fermetures = 0;
    FluxScripte scripte;

    OuverturePort ouvrir() override
    {
        ++ouvertures;
        return issue;
    }
    void fermer() override { ++fermetures; }
    QIODevice &flux() override { return scripte; }
};

// A fiscal device that answers every command like a working device of its country, except where
// a rule of the test says otherwise: "31#2:nak" (second item refused), "C1:silence",
// "33:data=..." (reply data). It validates at close only an invoice that was paid.
class AppareilFactice
{
public:
    AppareilFactice(const QString &pays, const QStringList &regles) : m_pays(pays)
    {
        for (const QString &r : regles) {
            const QString cible = r.section(QLatin1Char(':'), 0, 0);
            Regle regle;
            regle.commande = cible.section(QLatin1Char('#'), 0, 0).toInt(nullptr, 16);
            regle.occurrence =
                cible.contains(QLatin1Char('#')) ? cible.section(QLatin1Char('#'), 1).toInt() : 0;
            regle.action = r.section(QLatin1Char(':'), 1);
            m_regles << regle;
        }
    }

    QList<QByteArray> repondre(const FluxScripte::Requete &requete)
    {
        const int n = ++m_occurrences[requete.commande];
        for (const Regle &r : std::as_const(m_regles)) {
            if (r.commande != requete.commande || (r.occurrence != 0 && r.occurrence != n))
                continue;
            if (r.action == QStringLiteral("nak"))
                return {QByteArray(1, 0x15)};
            if (r.action == QStringLiteral("silence"))
                return {};
            return {trameReponse(requete.commande, r.action.mid(5).toLatin1(), requete.sequence)};
        }
        return {trameReponse(requete.commande, normale(requete.commande).toLatin1(), requete.sequence)};
    }

private:
    struct Regle
    {
        int commande = 0;
        int occurrence = 0;
        QString action;
    };

    QString normale(int commande)
    {
        const bool niger = m_pays == QStringLiteral("NE");
        switch (commande) {
        case 0xC1: {
            if (!niger)
                return QStringLiteral("0,EM01,3200,1,2,3,0,18,0,18");
            QStringList c(29, QStringLiteral("0"));
            c[1] = QStringLiteral("NE01");
            c[10] = QStringLiteral("19");
            return c.join(',');
        }
        case 0xC3:
            return QStringLiteral("0");
        case 0xC0:
            return niger ? QStringLiteral("1,FV,a,b,c,d,e") : QStringLiteral("1,FV");
        case 0x31:
            return niger ? QStringLiteral("1,B,19,236,236") : QStringLiteral("1,B,236,236");
        case 0x33:
            return QStringLiteral("1000,0,0,0,0,0,0,0,0");
        case 0x35:
            m_paye = true;
            return QStringLiteral("1000,0");
        case 0x38:
            if (!m_paye)
                return QStringLiteral("0,7,FV,20261208101010,EM01,3200");
            return QStringLiteral("3,8,FV,20261208101010,EM01,3200,ABCDEFGHIJKLMNOPQRSTUVWX");
        default:
            return QString();
        }
    }

    QString m_pays;
    QList<Regle> m_regles;
    QMap<int, int> m_occurrences;
    bool m_paye = false;
};

Invoice facture(const QString &referenceOriginale = QString())
{
    Invoice f;
    f.reference = QStringLiteral("F-1");
    f.typeFacture = referenceOriginale.isEmpty() ? QStringLiteral("FV") : QStringLiteral("FA");
    f.referenceOriginale = referenceOriginale;
    f.codePaiement = QStringLiteral("E");
    f.nomClient = QStringLiteral("Kofi");
    f.ifuClient = QStringLiteral("3209");
    f.totalFacture = 1000;
    InvoiceItem a;
    a.groupeTaxe = QStringLiteral("B");
    a.designation = QStringLiteral("Pain");
    a.quantite = QStringLiteral("1.5");
    a.prixHT = a.prixTTC = QStringLiteral("400");
    InvoiceItem b = a;
    b.designation = QStringLiteral("Lait");
    b.quantite = QStringLiteral("2");
    b.prixHT = b.prixTTC = QStringLiteral("200");
    f.articles = {a, b};
    f.commentaires = {{QStringLiteral("A"), QStringLiteral("Merci")},
                      {QStringLiteral("Z"), QStringLiteral("ignore")},
                      {QStringLiteral("B"), QStringLiteral("A bientot")}};
    return f;
}

QString commandes(const FluxScripte &flux)
{
    QStringList c;
    for (int commande : flux.commandes())
        c << QString::number(commande, 16).toUpper();
    return c.join(' ');
}

QByteArray donneesDe(const FluxScripte &flux, int commande)
{
    for (const FluxScripte::Requete &r : flux.requetes)
        if (r.commande == commande)
            return r.donnees;
    return QByteArray();
}

} // namespace

Q_DECLARE_METATYPE(OuverturePort)

// The invoice sequence on the device, its messages and its jumps, against a scripted device.
class TestSequenceFacture : public QObject
{
    Q_OBJECT

private slots:
    void chemins_data();
    void chemins();
    void machineMuette();
    void sommeQuantitesAvecArticleRefuse();
    void identifiantSystemeNiger();
};

void TestSequenceFacture::chemins_data()
{
    QTest::addColumn<QString>("pays");
    QTest::addColumn<QString>("referenceOriginale");
    QTest::addColumn<OuverturePort>("ouverture");
    QTest::addColumn<QStringList>("regles");
    QTest::addColumn<QString>("commandesAttendues");
    QTest::addColumn<QString>("resultat");   // "aucun": ended before closing; else the list joined by "|"
    QTest::addColumn<QStringList>("lignes"); // lines that must appear, in this order
    QTest::addColumn<QStringList>("absentes");

    const QString six = QStringLiteral("F;EM01;ABCDEFGHIJKLMNOPQRSTUVWX;3200;20261208101010|8|"
                                       "ABCDEFGHIJKLMNOPQRSTUVWX|EM01|3/8 FV|20261208101010");
    const QString erreurArticle = QStringLiteral("Erreur: Impossible de soumettre un article.");
    const QString erreurCommentaire = QStringLiteral("Erreur: Impossible de soumettre un commentaire.");

    QTest::newRow("benin sale validated, comments refused without sending")
        << "BJ" << QString() << OuverturePort::Ouvert << QStringList{} << "C1 C0 31 31 33 35 38" << six
        << QStringList{"Le port a ete ouvert.",
                       "",
                       "La facture est une facture de vente",
                       "Total facture: 1000.0000",
                       "",
                       "Verification de l'etat de la machine.",
                       "Donnees: ",
                       "Reponse: 0,EM01,3200,1,2,3,0,18,0,18",
                       "Initialisation MCF BJ terminee.",
                       "A - Creation d'une nouvelle facture.",
                       "Ajout d'un nouvel article a la facture.",
                       "Ajout d'un nouvel article a la facture.",
                       erreurCommentaire,
                       erreurCommentaire,
                       "Demande du sous-total de la facture.",
                       "Total facture acceptable: 1000",
                       "Confirmation de la facture.",
                       "Donnees: E1000",
                       "Fermeture de la facture.",
                       "QR: F;EM01;ABCDEFGHIJKLMNOPQRSTUVWX;3200;20261208101010",
                       "La facture a ete validee.",
                       "Le port a ete ferme."}
        << QStringList{"Enregistrement du client.", erreurArticle, "Difference facture: 0"};
    QTest::newRow("niger sale: client, comments of kinds A to H only")
        << "NE" << QString() << OuverturePort::Ouvert << QStringList{} << "C1 C3 C0 31 31 36 36 33 35 38"
        << six << QStringList{"Initialisation MCF NE terminee.", "Enregistrement du client.",
                              "Enregistrement de commentaire.",  "A=Merci",
                              "Enregistrement de commentaire.",  "B=A bientot",
                              "La facture a ete validee."}
        << QStringList{erreurCommentaire, "Z=ignore"};
    QTest::newRow("niger client refused: port closed, no invoice")
        << "NE" << QString() << OuverturePort::Ouvert << QStringList{"C3:nak"} << "C1 C3"
        << "aucun"
        << QStringList{"NAK recu: Commande incorrecte.", "Erreur: Impossible d'enregistrer le client.",
                       "Le port a ete ferme."}
        << QStringList{"A - Creation d'une nouvelle facture."};
    QTest::newRow("niger client reply holding a comma is a refusal")
        << "NE" << QString() << OuverturePort::Ouvert << QStringList{"C3:data=0,1"} << "C1 C3"
        << "aucun" << QStringList{"Erreur: Impossible d'enregistrer le client.", "Le port a ete ferme."}
        << QStringList{};
    QTest::newRow("niger client without answer is not registered")
        << "NE" << QString() << OuverturePort::Ouvert << QStringList{"C3:silence"} << "C1 C3"
        << "aucun" << QStringList{"Aucune reponse.", "Erreur: Impossible d'enregistrer le client."}
        << QStringList{};
    QTest::newRow("niger client acknowledged without data")
        << "NE" << QString() << OuverturePort::Ouvert << QStringList{"C3:data="}
        << "C1 C3 C0 31 31 36 36 33 35 38" << six << QStringList{"La facture a ete validee."}
        << QStringList{"Erreur: Impossible d'enregistrer le client."};
    const QString muet = QStringLiteral("Le MCF ne repond plus: la facture est abandonnee.");
    QTest::newRow("device silent from the second item: nothing more is sent")
        << "BJ" << QString() << OuverturePort::Ouvert << QStringList{"31#2:silence", "31#3:silence"}
        << "C1 C0 31 31"
        << "aucun"
        << QStringList{"Aucune reponse.", "Erreur: Impossible de soumettre un article.", muet,
                       "Le port a ete ferme."}
        << QStringList{"Demande du sous-total de la facture.", "Fermeture de la facture."};
    QTest::newRow("device silent at the new invoice: no close is sent")
        << "BJ" << QString() << OuverturePort::Ouvert << QStringList{"C0:silence"} << "C1 C0"
        << "aucun"
        << QStringList{"Erreur: Impossible de soumettre une facture.", muet, "Le port a ete ferme."}
        << QStringList{"Fermeture de la facture."};
    QTest::newRow("niger device silent at a comment")
        << "NE" << QString() << OuverturePort::Ouvert << QStringList{"36:silence"} << "C1 C3 C0 31 31 36"
        << "aucun" << QStringList{"A=Merci", muet, "Le port a ete ferme."}
        << QStringList{"B=A bientot", "Demande du sous-total de la facture."};
    QTest::newRow("device silent at the payment: no close is sent")
        << "BJ" << QString() << OuverturePort::Ouvert << QStringList{"35:silence"} << "C1 C0 31 31 33 35"
        << "aucun" << QStringList{"Confirmation de la facture.", muet, "Le port a ete ferme."}
        << QStringList{"Fermeture de la facture."};
    QTest::newRow("device silent at the close: no result")
        << "BJ" << QString() << OuverturePort::Ouvert << QStringList{"38:silence"} << "C1 C0 31 31 33 35 38"
        << "aucun" << QStringList{"Fermeture de la facture.", "Aucune reponse.", muet, "Le port a ete ferme."}
        << QStringList{"La facture a ete validee."};
    QTest::newRow("a refused item is an answer: the invoice goes on to its close, unpaid")
        << "BJ" << QString() << OuverturePort::Ouvert << QStringList{"31#1:nak"} << "C1 C0 31 31 38"
        << "" << QStringList{"Ajout d'un nouvel article a la facture.", "La facture a ete annulee."}
        << QStringList{muet};
    QTest::newRow("machine state of an unknown device")
        << "BJ" << QString() << OuverturePort::Ouvert << QStringList{"C1:data=1,2,3"} << "C1"
        << "aucun"
        << QStringList{"Initialisation échouee.", "Erreur: Impossible d'initialiser le MCF.",
                       "Le port a ete ferme."}
        << QStringList{};
    // A device that refuses a new invoice may hold another one open that no journal row explains
    // (every row of ours was settled before): one close clears it, and what it validated is never
    // taken for this invoice. The new invoice is then sent once more.
    const QString refusNouvelle = QStringLiteral("Le MCF a refuse la nouvelle facture: elle n'est pas "
                                                 "fermee, aucune autre facture n'est validee a sa place.");
    const QString fermetureAutre =
        QStringLiteral("Le MCF tient peut-etre une autre facture ouverte: elle est fermee.");
    const QString refusArticle =
        QStringLiteral("Un article a ete refuse par le MCF: la facture n'est pas payee et sera annulee.");
    QTest::newRow("refused new invoice, nothing open: one close refused, never closed as this invoice")
        << "BJ" << QString() << OuverturePort::Ouvert << QStringList{"C0:nak", "38:nak"} << "C1 C0 38"
        << "aucun"
        << QStringList{"Erreur: Impossible de soumettre une facture.", fermetureAutre,
                       "Fermeture de la facture.", refusNouvelle, "Le port a ete ferme."}
        << QStringList{"Ajout d'un nouvel article a la facture.", erreurCommentaire,
                       "La facture a ete annulee."};
    QTest::newRow("device held an unpaid invoice open: cancelled, then this one certified")
        << "BJ" << QString() << OuverturePort::Ouvert << QStringList{"C0#1:nak"}
        << "C1 C0 38 C0 31 31 33 35 38" << six
        << QStringList{"Erreur: Impossible de soumettre une facture.",
                       fermetureAutre,
                       "La facture a ete annulee.",
                       "A - Creation d'une nouvelle facture.",
                       "La facture a ete validee.",
                       "Le port a ete ferme."}
        << QStringList{refusNouvelle};
    QTest::newRow("device held a paid invoice open: its codes printed, never recorded as this one")
        << "BJ" << QString() << OuverturePort::Ouvert
        << QStringList{"C0#1:nak", "38#1:data=1,2,FV,20261208090909,EM01,3200,AUTRESIGNATURE"}
        << "C1 C0 38 C0 31 31 33 35 38" << six
        << QStringList{fermetureAutre,
                       "Facture inconnue du registre validee par le MCF a sa fermeture, enregistree sous "
                       "aucune "
                       "reference (QR F;EM01;AUTRESIGNATURE;3200;20261208090909, compteurs 1/2 FV).",
                       "A - Creation d'une nouvelle facture.", "La facture a ete validee."}
        << QStringList{refusNouvelle};
    QTest::newRow("new invoice reply with a wrong field count, twice")
        << "NE" << QString() << OuverturePort::Ouvert << QStringList{"C0:data=1,FV"} << "C1 C3 C0 38 C0"
        << "aucun"
        << QStringList{"Erreur: Impossible de soumettre une facture.", "La facture a ete annulee.",
                       refusNouvelle}
        << QStringList{"Ajout d'un nouvel article a la facture."};
    QTest::newRow("device silent after refusing the new invoice: nothing more sent")
        << "BJ" << QString() << OuverturePort::Ouvert << QStringList{"C0:nak", "38:silence"} << "C1 C0 38"
        << "aucun"
        << QStringList{fermetureAutre, "Le MCF ne repond plus: la facture est abandonnee.",
                       "Le port a ete ferme."}
        << QStringList{refusNouvelle};
    // No fiscal invoice without one of its items: it is not paid, and the device cancels it.
    QTest::newRow("one refused item among several: not paid, cancelled")
        << "BJ" << QString() << OuverturePort::Ouvert << QStringList{"31#1:nak"} << "C1 C0 31 31 38"
        << ""
        << QStringList{"NAK recu: Commande incorrecte.", erreurArticle,
                       "Ajout d'un nouvel article a la facture.", refusArticle, "La facture a ete annulee."}
        << QStringList{"Confirmation de la facture.", "La facture a ete validee."};
    QTest::newRow("item reply with a wrong field count: not paid")
        << "NE" << QString() << OuverturePort::Ouvert << QStringList{"31#2:data=1,B,19,236"}
        << "C1 C3 C0 31 31 36 36 38"
        << "" << QStringList{erreurArticle, refusArticle, "La facture a ete annulee."}
        << QStringList{"La facture a ete validee."};
    QTest::newRow("subtotal outside the tolerance: not paid, cancelled")
        << "BJ" << QString() << OuverturePort::Ouvert << QStringList{"33:data=1003.6,0,0,0,0,0,0,0,0"}
        << "C1 C0 31 31 33 38"
        << ""
        << QStringList{"Difference facture: 3.6", "Total facture inacceptable: 1003.6",
                       "La facture a ete annulee."}
        << QStringList{"Confirmation de la facture."};
    QTest::newRow("subtotal within the sum of quantities is paid as the device gave it")
        << "BJ" << QString() << OuverturePort::Ouvert << QStringList{"33:data=1003.50,0,0,0,0,0,0,0,0"}
        << "C1 C0 31 31 33 35 38" << six
        << QStringList{"Difference facture: 3.5", "Total facture acceptable: 1003.50", "Donnees: E1003.50"}
        << QStringList{};
    QTest::newRow("subtotal reply too short: not paid")
        << "BJ" << QString() << OuverturePort::Ouvert << QStringList{"33:data=1000,0"} << "C1 C0 31 31 33 38"
        << "" << QStringList{"Demande du sous-total de la facture.", "Fermeture de la facture."}
        << QStringList{"Total facture acceptable: 1000", "Total facture inacceptable: 1000"};
    QTest::newRow("unexpected close reply: empty result, no message")
        << "BJ" << QString() << OuverturePort::Ouvert << QStringList{"38:data=1,2,3"}
        << "C1 C0 31 31 33 35 38"
        << "" << QStringList{"Fermeture de la facture.", "Le port a ete ferme."}
        << QStringList{"La facture a ete annulee.", "La facture a ete validee."};
    QTest::newRow("refund with a missing original prints both lines and goes on")
        << "BJ"
        << "-" << OuverturePort::Ouvert << QStringList{} << "C1 C0 31 31 33 35 38" << six
        << QStringList{"La facture est une facture de remboursement: (NIM-)TC Facture originale: -",
                       "(NIM-)TC de facture originale manquant.", "Total facture: 1000.0000"}
        << QStringList{"La facture est une facture de vente"};
    QTest::newRow("refund with its original")
        << "NE"
        << "NE01-7" << OuverturePort::Ouvert << QStringList{} << "C1 C3 C0 31 31 36 36 33 35 38" << six
        << QStringList{"La facture est une facture de remboursement: (NIM-)TC "
                       "Facture originale: NE01-7"}
        << QStringList{"(NIM-)TC de facture originale manquant."};
    QTest::newRow("no serial port") << "BJ" << QString() << OuverturePort::AucunPort << QStringList{} << ""
                                    << "aucun" << QStringList{"Aucun port de communication trouve."}
                                    << QStringList{"Le port a ete ouvert.", "Le port a ete ferme."};
    QTest::newRow("port fails to open")
        << "BJ" << QString() << OuverturePort::EchecOuverture << QStringList{} << ""
        << "aucun" << QStringList{"Impossible d'ouvrir le port."}
        << QStringList{"Le port a ete ouvert.", "Le port a ete ferme."};
}

void TestSequenceFacture::chemins()
{
    QFETCH(QString, pays);
    QFETCH(QString, referenceOriginale);
    QFETCH(OuverturePort, ouverture);
    QFETCH(QStringList, regles);
    QFETCH(QString, commandesAttendues);
    QFETCH(QString, resultat);
    QFETCH(QStringList, lignes);
    QFETCH(QStringList, absentes);

    ContexteAppareil execution;
    execution.facture = facture(referenceOriginale);
    // The device decides the layouts, not the country setting.
    execution.parametres.pays =
        pays == QStringLiteral("NE") ? QStringLiteral("Bénin") : QStringLiteral("Niger");
    PortFactice port;
    port.issue = ouverture;
    AppareilFactice appareil(pays, regles);
    port.scripte.repondre = [&](const FluxScripte::Requete &r) { return appareil.repondre(r); };
    std::ostringstream console;

    const std::optional<Fermeture> r =
        certifierSurAppareil(QStringLiteral("F-1"), execution, port, console, 10);

    QCOMPARE(commandes(port.scripte), commandesAttendues);
    QCOMPARE(r ? (r->resultat ? r->resultat->textes().join('|') : QString()) : QStringLiteral("aucun"),
             resultat);
    QCOMPARE(port.ouvertures, 1);
    QCOMPARE(port.fermetures, ouverture == OuverturePort::Ouvert ? 1 : 0);

    const QStringList sortie = QString::fromStdString(console.str()).split('\n');
    qsizetype position = 0;
    for (const QString &ligne : std::as_const(lignes)) {
        const qsizetype trouvee = sortie.indexOf(ligne, position);
        if (trouvee < 0)
            QFAIL(qPrintable(QStringLiteral("missing, or out of order: \"%1\"\n--- output:\n%2")
                                 .arg(ligne, sortie.join('\n'))));
        position = trouvee + 1;
    }
    for (const QString &ligne : std::as_const(absentes))
        QVERIFY2(!sortie.contains(ligne), qPrintable(QStringLiteral("unexpected: \"%1\"").arg(ligne)));

    if (commandesAttendues.contains(QStringLiteral("C0"))) {
        // The new-invoice layout follows the device's variant.
        const QByteArray c0 = donneesDe(port.scripte, 0xC0);
        if (pays == QStringLiteral("NE"))
            QVERIFY2(c0.startsWith("1,Orvane,NE01,") && c0.contains(",Orvane,F-1"), c0.constData());
        else
            QVERIFY2(c0.startsWith("1,Orvane,EM01,0,18,0,18,"), c0.constData());
    }
}

void TestSequenceFacture::machineMuette()
{
    ContexteAppareil execution;
    execution.facture = facture();
    PortFactice port;
    std::ostringstream console;

    const std::optional<Fermeture> r =
        certifierSurAppareil(QStringLiteral("F-1"), execution, port, console, 10);

    QVERIFY(!r.has_value());
    QCOMPARE(commandes(port.scripte), QStringLiteral("C1"));
    QCOMPARE(QString::fromStdString(console.str()),
             QStringLiteral("Le port a ete ouvert.\n\n"
                            "La facture est une facture de vente\n"
                            "Total facture: 1000.0000\n\n"
                            "Verification de l'etat de la machine.\n"
                            "Donnees: \n"
                            "Aucune reponse.\n\n"
                            "Initialisation échouee.\n"
                            "Erreur: Impossible d'initialiser le MCF.\n"
                            "Le MCF ne repond plus: la facture est abandonnee.\n"
                            "Le port a ete ferme.\n"));
    QVERIFY(execution.appareil.codePays.isEmpty());
}

void TestSequenceFacture::sommeQuantitesAvecArticleRefuse()
{
    ContexteAppareil execution;
    execution.facture = facture();
    PortFactice port;
    AppareilFactice appareil(QStringLiteral("BJ"), {QStringLiteral("31#2:nak")});
    port.scripte.repondre = [&](const FluxScripte::Requete &r) { return appareil.repondre(r); };
    std::ostringstream console;

    certifierSurAppareil(QStringLiteral("F-1"), execution, port, console, 10);
    QCOMPARE(execution.sommeQuantites, 3.5);
}

void TestSequenceFacture::identifiantSystemeNiger()
{
    // An empty system identifier is sent as "Orvane" and stays so for the rest of the run; on a
    // Bénin device the setting is not touched.
    for (const QString &pays : {QStringLiteral("NE"), QStringLiteral("BJ")}) {
        ContexteAppareil execution;
        execution.facture = facture();
        execution.parametres.modePrix = QStringLiteral("TTC");
        PortFactice port;
        AppareilFactice appareil(pays, {});
        port.scripte.repondre = [&](const FluxScripte::Requete &r) { return appareil.repondre(r); };
        std::ostringstream console;

        certifierSurAppareil(QStringLiteral("F-1"), execution, port, console, 10);
        QCOMPARE(execution.parametres.isf,
                 pays == QStringLiteral("NE") ? QStringLiteral("Orvane") : QString());
        if (pays == QStringLiteral("NE"))
            QCOMPARE(donneesDe(port.scripte, 0xC0), QByteArray("1,Orvane,NE01,FV,TTC,Orvane,F-1"));
    }
}

QTEST_APPLESS_MAIN(TestSequenceFacture)
#include "tst_sequencefacture.moc"
