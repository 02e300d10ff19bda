#include "consolefacture.h"
#include "corpsfacture.h"

#include <lecturefacture.h>
#include <parametres.h>

#include <QJsonDocument>
#include <QtTest>

// The submission body, built from invoices read by the real line parser, compared key for key.
class CorpsSoumission : public QObject
{
    Q_OBJECT

private slots:
    void corps_data();
    void corps();
    void groupeTaxeParDefaut_data();
    void groupeTaxeParDefaut();
};

namespace {

Invoice lireFacture(const QStringList &lignes, const QString &pays)
{
    OptionsLecture options;
    options.pays = pays;
    Invoice facture;
    for (const QString &ligne : lignes) {
        lireLigne(ligne, facture, options);
        ++facture.nombreLignes;
    }
    // Not in the register: a reference with a dash is taken as written.
    if (!facture.factureOriginale.isEmpty())
        resoudreReferenceOriginale(facture, std::nullopt, pays, true);
    return facture;
}

QJsonObject objet(const char *json)
{
    QJsonParseError erreur;
    const QJsonDocument d = QJsonDocument::fromJson(QByteArray(json), &erreur);
    if (erreur.error != QJsonParseError::NoError || !d.isObject())
        qFatal("bad JSON in test table: %s", json);
    return d.object();
}

QString texte(const QJsonObject &o)
{
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented));
}

} // namespace

void CorpsSoumission::corps_data()
{
    QTest::addColumn<QString>("pays");
    QTest::addColumn<QString>("modePrix");
    QTest::addColumn<QString>("isf");
    QTest::addColumn<QStringList>("lignes");
    QTest::addColumn<QString>("etat");
    QTest::addColumn<QString>("attendu");
    QTest::addColumn<double>("sommeQuantites");

    QTest::newRow("benin sale with every client field and AIB5")
        << "Bénin"
        << ""
        << ""
        << QStringList{"F1;FV;Awa;7;E;Kofi;123;Cotonou;97000000;96000000;AIB5;;", "B;Pain;2;100;118;;;;",
                       "A;Eau;1;500;500;;0;0"}
        << R"({"status":true,"ifu":"3201234567890"})"
        << R"({"ifu":"3201234567890","type":"FV",
              "items":[{"name":"Pain","price":"118","quantity":"2","taxGroup":"B"},
                       {"name":"Eau","price":"500","quantity":"1","taxGroup":"A","taxSpecific":"0"}],
              "client":{"ifu":"123","name":"Kofi","contact":"97000000 96000000","address":"Cotonou"},
              "operator":{"id":"7","name":"Awa"},
              "payment":[{"name":"ESPECES","amount":771}],
              "aib":"B"})"
        << 3.0;
    QTest::newRow("benin AIB1 sent as A, unknown payment is CREDIT, empty client keeps its ifu")
        << "Bénin"
        << ""
        << "" << QStringList{"F2;FV;Awa;;X;;;;;;AIB1", "B;Pain;1;100;118"}
        << R"({"status":true,"ifu":"3201234567890"})"
        << R"({"ifu":"3201234567890","type":"FV",
              "items":[{"name":"Pain","price":"118","quantity":"1","taxGroup":"B"}],
              "client":{"ifu":""},
              "operator":{"name":"Awa"},
              "payment":[{"name":"CREDIT","amount":119}],
              "aib":"A"})"
        << 1.0;
    QTest::newRow("benin contact with only the second part starts with a space")
        << "Bénin"
        << ""
        << "" << QStringList{"F3;FV;Awa;1;V;Kofi;;;;96000000;", "A;Eau;1;500;500"}
        << R"({"status":true,"ifu":"1"})"
        << R"({"ifu":"1","type":"FV",
              "items":[{"name":"Eau","price":"500","quantity":"1","taxGroup":"A"}],
              "client":{"ifu":"","name":"Kofi","contact":" 96000000"},
              "operator":{"id":"1","name":"Awa"},
              "payment":[{"name":"VIREMENT","amount":500}]})"
        << 1.0;
    QTest::newRow("benin status without ifu sends null, seller number of another type is copied")
        << "Bénin"
        << ""
        << "" << QStringList{"F4;FV;Awa;1;E;;;;;;", "A;Eau;1;500;500"} << R"({"status":true})"
        << R"({"ifu":null,"type":"FV",
              "items":[{"name":"Eau","price":"500","quantity":"1","taxGroup":"A"}],
              "client":{"ifu":""},"operator":{"id":"1","name":"Awa"},
              "payment":[{"name":"ESPECES","amount":500}]})"
        << 1.0;
    QTest::newRow("benin numeric seller number stays a number")
        << "Bénin"
        << ""
        << "" << QStringList{"F5;FV;Awa;1;E;;;;;;", "A;Eau;1;500;500"}
        << R"({"status":true,"ifu":3201234567890})"
        << R"({"ifu":3201234567890,"type":"FV",
              "items":[{"name":"Eau","price":"500","quantity":"1","taxGroup":"A"}],
              "client":{"ifu":""},"operator":{"id":"1","name":"Awa"},
              "payment":[{"name":"ESPECES","amount":500}]})"
        << 1.0;
    QTest::newRow("benin sale never carries reference even with an original invoice")
        << "Bénin"
        << ""
        << "" << QStringList{"F6;FV;Awa;1;E;;;;;;;ED04-12;", "A;Eau;1;500;500"}
        << R"({"status":true,"ifu":"1"})"
        << R"({"ifu":"1","type":"FV",
              "items":[{"name":"Eau","price":"500","quantity":"1","taxGroup":"A"}],
              "client":{"ifu":""},"operator":{"id":"1","name":"Awa"},
              "payment":[{"name":"ESPECES","amount":500}]})"
        << 1.0;
    QTest::newRow("benin refund carries its original reference")
        << "Bénin"
        << ""
        << "" << QStringList{"A1;FA;Awa;1;E;;;;;;;ED04-12;", "A;Eau;1;500;500"}
        << R"({"status":true,"ifu":"1"})"
        << R"({"ifu":"1","type":"FA","reference":"ED04-12",
              "items":[{"name":"Eau","price":"500","quantity":"1","taxGroup":"A"}],
              "client":{"ifu":""},"operator":{"id":"1","name":"Awa"},
              "payment":[{"name":"ESPECES","amount":500}]})"
        << 1.0;
    QTest::newRow("export refund carries its original reference")
        << "Bénin"
        << ""
        << "" << QStringList{"A2;EA;Awa;1;E;;;;;;;ED04-13;", "A;Eau;1;500;500"}
        << R"({"status":true,"ifu":"1"})"
        << R"({"ifu":"1","type":"EA","reference":"ED04-13",
              "items":[{"name":"Eau","price":"500","quantity":"1","taxGroup":"A"}],
              "client":{"ifu":""},"operator":{"id":"1","name":"Awa"},
              "payment":[{"name":"ESPECES","amount":500}]})"
        << 1.0;
    QTest::newRow("benin invoice without items sends an empty array")
        << "Bénin"
        << ""
        << "" << QStringList{"F7;FV;Awa;1;E;;;;;;"} << R"({"status":true,"ifu":"1"})"
        << R"({"ifu":"1","type":"FV","items":[],
              "client":{"ifu":""},"operator":{"id":"1","name":"Awa"},
              "payment":[{"name":"ESPECES","amount":0}]})"
        << 0.0;
    QTest::newRow("niger HT mode sends tax-exclusive prices, default isf, comments A and H")
        << "Niger"
        << "HT"
        << ""
        << QStringList{"N1;FV;Ali;3;E;Kofi;123;Niamey;;;B;;",
                       "B;Pain;2;100;118;;5;5",
                       "#A;A;Merci",
                       "#x;H;Au revoir",
                       "#b;a;minuscule",
                       "#c;AB;double",
                       "#d;I;hors plage",
                       "#e;A;Remplace"}
        << R"({"status":true,"nif":"NE123"})"
        << R"({"nif":"NE123","type":"FV",
              "items":[{"name":"Pain","price":"100","quantity":"2","taxGroup":"B","taxSpecificAmount":"5"}],
              "client":{"nif":"123","name":"Kofi","address":"Niamey"},
              "operator":{"id":"3","name":"Ali"},
              "payment":[{"name":"ESPECES","amount":253.05}],
              "isf":"Orvane","mode":"ht","rn":"N1",
              "cmta":"Remplace","cmth":"Au revoir",
              "isb":"B"})"
        << 2.0;
    QTest::newRow("niger empty price mode sends tax-inclusive prices and an empty mode")
        << "Niger"
        << ""
        << "CAISSE-7" << QStringList{"N2;FV;Ali;3;Z;;;;;;", "B;Pain;2;100;118"}
        << R"({"status":true,"nif":"NE123"})"
        << R"({"nif":"NE123","type":"FV",
              "items":[{"name":"Pain","price":"118","quantity":"2","taxGroup":"B"}],
              "client":{"nif":""},"operator":{"id":"3","name":"Ali"},
              "payment":[{"name":"ESPECES","amount":236}],
              "isf":"CAISSE-7","mode":"","rn":"N2"})"
        << 2.0;
    QTest::newRow("niger TTC mode is sent in lower case with the mapped payment")
        << "Niger"
        << "TTC"
        << "" << QStringList{"N3;FV;Ali;3;M;;;;;;", "B;Pain;1.5;100;118"}
        << R"({"status":true,"nif":"NE123"})"
        << R"({"nif":"NE123","type":"FV",
              "items":[{"name":"Pain","price":"118","quantity":"1.5","taxGroup":"B"}],
              "client":{"nif":""},"operator":{"id":"3","name":"Ali"},
              "payment":[{"name":"MOBILEMONEY","amount":177}],
              "isf":"Orvane","mode":"ttc","rn":"N3"})"
        << 1.5;
    QTest::newRow("benin quantity that is not a number adds nothing")
        << "Bénin"
        << ""
        << "" << QStringList{"F8;FV;Awa;1;E;;;;;;", "A;Eau;deux;500;500", "A;Sel;3;10;10"}
        << R"({"status":true,"ifu":"1"})"
        << R"({"ifu":"1","type":"FV",
              "items":[{"name":"Eau","price":"500","quantity":"deux","taxGroup":"A"},
                       {"name":"Sel","price":"10","quantity":"3","taxGroup":"A"}],
              "client":{"ifu":""},"operator":{"id":"1","name":"Awa"},
              "payment":[{"name":"ESPECES","amount":30}]})"
        << 3.0;
}

void CorpsSoumission::corps()
{
    QFETCH(QString, pays);
    QFETCH(QString, modePrix);
    QFETCH(QString, isf);
    QFETCH(QStringList, lignes);
    QFETCH(QString, etat);
    QFETCH(QString, attendu);
    QFETCH(double, sommeQuantites);

    ParametresMoteur parametres;
    parametres.pays = pays;
    parametres.modePrix = modePrix;
    parametres.isf = isf;
    const Invoice facture = lireFacture(lignes, pays);
    const SoumissionEmcf soumission =
        corpsSoumission(facture, parametres, tablesReference(pays), objet(etat.toUtf8().constData()));

    const QJsonObject voulu = objet(attendu.toUtf8().constData());
    if (soumission.corps != voulu)
        qWarning().noquote() << "\nobtenu:\n" << texte(soumission.corps) << "\nattendu:\n" << texte(voulu);
    QCOMPARE(soumission.corps, voulu);
    QCOMPARE(soumission.sommeQuantites, sommeQuantites);
    // Every value but the payment amount (and a copied seller number) travels as a JSON string.
    const QJsonObject article = soumission.corps.value("items").toArray().isEmpty()
                                    ? QJsonObject()
                                    : soumission.corps.value("items").toArray().first().toObject();
    for (auto it = article.begin(); it != article.end(); ++it)
        QVERIFY2(it.value().isString(), qPrintable(it.key()));
    QVERIFY(soumission.corps.value("payment").toArray().first().toObject().value("amount").isDouble());
}

void CorpsSoumission::groupeTaxeParDefaut_data()
{
    QTest::addColumn<QString>("ligne");
    QTest::addColumn<QString>("groupe");

    QTest::newRow("empty group with VAT 1 800 in French grouping is B") << ";Ecran;1;10000;11800"
                                                                        << "B";
    QTest::newRow("empty group without VAT is A") << ";Eau;3;500;500"
                                                  << "A";
    QTest::newRow("empty group with a negative VAT is B") << ";Remise;1;100;90"
                                                          << "B";
    QTest::newRow("empty group with VAT rounding to 0 is A") << ";Bonbon;1;100;100.4"
                                                             << "A";
    QTest::newRow("given group is kept even without VAT") << "C;Export;1;100;100"
                                                          << "C";
    QTest::newRow("given group is kept as written") << "b;Pain;1;100;118"
                                                    << "b";
}

void CorpsSoumission::groupeTaxeParDefaut()
{
    QFETCH(QString, ligne);
    QFETCH(QString, groupe);
    const Invoice facture = lireFacture({"F;FV;Awa", ligne}, "Bénin");
    QCOMPARE(facture.articles.size(), 1);
    QCOMPARE(groupeTaxeEnvoye(facture.articles.first()), groupe);
}

QTEST_GUILESS_MAIN(CorpsSoumission)
#include "tst_corpsfacture.moc"
