#include "parametres.h"

#include <formats.h>

#include <QTemporaryDir>
#include <QtTest>

// Stands for a folder named app.xml where the file should be.
static const QByteArray dossierAppXml = QByteArrayLiteral("\x01dossier");

// Reading app.xml: what each program ends up with.
class LectureParametres : public QObject
{
    Q_OBJECT

private slots:
    void moteur_data()
    {
        QTest::addColumn<QByteArray>("contenu");
        QTest::addColumn<int>("etat");
        QTest::addColumn<QString>("pays");
        QTest::addColumn<QString>("jeton");
        QTest::addColumn<bool>("modeEnLigne");
        QTest::addColumn<double>("tolerance");
        QTest::addColumn<QString>("messages");

        const QString charge = "Fichier app.xml ouvert.\nFichier app.xml charge.\nFichier app.xml ferme.\n";
        QTest::newRow("no file: Bénin, web path, no token")
            << QByteArray() << int(EtatParametres::Introuvable) << "Bénin" << "" << true << 0.0 << "";
        // Something named app.xml that cannot be opened (here a folder; for a shop's user, a file of
        // a group they are not in): built-in values, told apart from a missing file so that the
        // engine can say why.
        QTest::newRow("there but unreadable")
            << dossierAppXml << int(EtatParametres::Illisible) << "Bénin" << "" << true << 0.0 << "";
        QTest::newRow("not well-formed keeps the built-in values")
            << QByteArray("<app pays=\"Niger\" jeton=\"x\">") << int(EtatParametres::Invalide) << "Bénin" << ""
            << true << 0.0
            << "Fichier app.xml ouvert.\nImpossible de charger app.xml\nFichier app.xml fermé.\n";
        QTest::newRow("garbage after the element is refused")
            << QByteArray("<app pays=\"Niger\"/><autre/>") << int(EtatParametres::Invalide) << "Bénin" << "" << true
            << 0.0 << "Fichier app.xml ouvert.\nImpossible de charger app.xml\nFichier app.xml fermé.\n";
        QTest::newRow("loaded without pays: empty country, device path")
            << QByteArray("<app portMCF=\"COM3\"/>") << int(EtatParametres::Charge) << "" << "" << false << 0.0
            << charge;
        QTest::newRow("token selects the web path")
            << QByteArray("<app pays=\"Niger\" jeton=\"abc.def\"/>") << int(EtatParametres::Charge) << "Niger"
            << "abc.def" << true << 0.0 << charge;
        QTest::newRow("tolerance with a point") << QByteArray("<app tolerance=\"0.5\"/>") << int(EtatParametres::Charge)
                                                << "" << "" << false << 0.5 << charge;
        QTest::newRow("tolerance with a comma reads 0")
            << QByteArray("<app tolerance=\"0,5\"/>") << int(EtatParametres::Charge) << "" << "" << false << 0.0
            << charge;
        QTest::newRow("any element name, UTF-8 accents")
            << QByteArray("<config pays=\"B\xc3\xa9nin\"/>") << int(EtatParametres::Charge) << "Bénin" << "" << false
            << 0.0 << charge;
        QTest::newRow("Latin-1 declared encoding")
            << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><app pays=\"B\xe9nin\"/>")
            << int(EtatParametres::Charge) << "Bénin" << "" << false << 0.0 << charge;
    }

    void moteur()
    {
        QFETCH(QByteArray, contenu);
        QFETCH(int, etat);
        QFETCH(QString, pays);
        QFETCH(QString, jeton);
        QFETCH(bool, modeEnLigne);
        QFETCH(double, tolerance);
        QFETCH(QString, messages);

        QTemporaryDir dossier;
        const QString chemin = dossier.filePath("app.xml");
        if (contenu == dossierAppXml) {
            QVERIFY(QDir().mkpath(chemin));
        } else if (!contenu.isNull()) {
            QFile f(chemin);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(contenu);
        }
        const FichierParametres fichier = lireFichierParametres(chemin);
        QCOMPARE(int(fichier.etat), etat);
        const ParametresMoteur p = parametresMoteur(fichier);
        QCOMPARE(p.pays, pays);
        QCOMPARE(p.jeton, jeton);
        QCOMPARE(p.modeEnLigne, modeEnLigne);
        QCOMPARE(p.tolerance, tolerance);
        QVERIFY(p.adresseApi.isEmpty());
        QCOMPARE(messagesLectureMoteur(fichier.etat), messages);
    }

    void moteurToutesLesCles()
    {
        const FichierParametres f = analyserParametres(
            "<app pays=\"Niger\" portMCF=\"COM3\" encodage=\"7\" isf=\"ISF1\" modePrix=\"HT\" "
            "modeMCF=\"D&#233;veloppement\" jeton=\"t\" tolerance=\"2\" inconnu=\"x\"/>");
        const ParametresMoteur p = parametresMoteur(f);
        QCOMPARE((QStringList{p.pays, p.portMCF, p.encodage, p.isf, p.modePrix, p.modeMCF, p.jeton}),
                 (QStringList{"Niger", "COM3", "7", "ISF1", "HT", "Développement", "t"}));
        QCOMPARE(p.tolerance, 2.0);
        QVERIFY(f.contient("inconnu"));
        QCOMPARE(f.attributs.last().first, QStringLiteral("inconnu"));
        QCOMPARE(f.valeur("absent"), QString());
    }

    void registre_data()
    {
        QTest::addColumn<QByteArray>("contenu");
        QTest::addColumn<QString>("registre");
        QTest::addColumn<int>("connexion");
        QTest::addColumn<int>("requete");
        QTest::newRow("absent: the file beside the engine, default limits")
            << QByteArray("<app/>") << "" << 5 << 10;
        QTest::newRow("shared register with its limits")
            << QByteArray("<app registre=\" postgresql://caisse@srv/magasin \" delaiConnexionRegistre=\"3\" "
                          "delaiRequeteRegistre=\"20\"/>")
            << "postgresql://caisse@srv/magasin" << 3 << 20;
        QTest::newRow("limits that are not positive numbers keep their defaults")
            << QByteArray("<app delaiConnexionRegistre=\"0\" delaiRequeteRegistre=\"vite\"/>") << "" << 5 << 10;
    }

    void registre()
    {
        QFETCH(QByteArray, contenu);
        QFETCH(QString, registre);
        QFETCH(int, connexion);
        QFETCH(int, requete);
        const ParametresMoteur p = parametresMoteur(analyserParametres(contenu));
        QCOMPARE(p.registre, registre);
        QCOMPARE(p.delaiConnexionRegistre, connexion);
        QCOMPARE(p.delaiRequeteRegistre, requete);
    }

    void rendu_data()
    {
        QTest::addColumn<QByteArray>("contenu");
        QTest::addColumn<QString>("fontName");
        QTest::addColumn<int>("fontSize");
        QTest::addColumn<bool>("logoTop");
        QTest::addColumn<bool>("economieEspace");
        QTest::addColumn<QString>("message");

        QTest::newRow("absent keys keep the built-in font")
            << QByteArray("<app/>") << "Lucida Console" << 6 << false << false << "";
        QTest::newRow("font size 0 keeps 6") << QByteArray("<app fontName=\"\" fontSize=\"0\"/>") << "Lucida Console" << 6
                                             << false << false << "";
        QTest::newRow("font given") << QByteArray("<app fontName=\"DejaVu Sans Mono\" fontSize=\"9\"/>")
                                    << "DejaVu Sans Mono" << 9 << false << false << "";
        QTest::newRow("switch written 2 is on, yes is off")
            << QByteArray("<app logoTop=\"2\" economieEspace=\"yes\"/>") << "Lucida Console" << 6 << true << false << "";
        QTest::newRow("switch 1") << QByteArray("<app logoTop=\"0\" economieEspace=\"1\"/>") << "Lucida Console" << 6
                                  << false << true << "";
        QTest::newRow("no file") << QByteArray() << "Lucida Console" << 6 << false << false
                                 << "Impossible d'ouvir app.xml\n";
        QTest::newRow("not parsable") << QByteArray("<app") << "Lucida Console" << 6 << false << false
                                      << "Impossible de charger app.xml\n";
    }

    void rendu()
    {
        QFETCH(QByteArray, contenu);
        QFETCH(QString, fontName);
        QFETCH(int, fontSize);
        QFETCH(bool, logoTop);
        QFETCH(bool, economieEspace);
        QFETCH(QString, message);
        const FichierParametres f = contenu.isNull() ? FichierParametres{} : analyserParametres(contenu);
        const ParametresRendu p = parametresRendu(f);
        QCOMPARE(p.fontName, fontName);
        QCOMPARE(p.fontSize, fontSize);
        QCOMPARE(p.logoTop, logoTop);
        QCOMPARE(p.economieEspace, economieEspace);
        QCOMPARE(messageLectureRendu(f.etat), message);
    }

    void conversions_data()
    {
        QTest::addColumn<QString>("texte");
        QTest::addColumn<int>("entier");
        QTest::addColumn<bool>("interrupteur");
        QTest::addColumn<double>("decimal");
        QTest::newRow("empty") << "" << 0 << false << 0.0;
        QTest::newRow("one") << "1" << 1 << true << 1.0;
        QTest::newRow("two is on") << "2" << 2 << true << 2.0;
        QTest::newRow("word is off") << "yes" << 0 << false << 0.0;
        QTest::newRow("negative") << "-3" << -3 << true << -3.0;
        QTest::newRow("decimal is not an integer") << "1.5" << 0 << false << 1.5;
        QTest::newRow("decimal comma") << "1,5" << 0 << false << 0.0;
    }

    void conversions()
    {
        QFETCH(QString, texte);
        QFETCH(int, entier);
        QFETCH(bool, interrupteur);
        QFETCH(double, decimal);
        QCOMPARE(versEntier(texte), entier);
        QCOMPARE(versInterrupteur(texte), interrupteur);
        QCOMPARE(nombreEntree(texte), decimal);
    }
};

QTEST_GUILESS_MAIN(LectureParametres)
#include "tst_parametres.moc"
