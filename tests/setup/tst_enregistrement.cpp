#include "enregistrement.h"

#include <parametres.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

// Writing of the settings document and its atomic replacement on disk.
class TestEnregistrement : public QObject
{
    Q_OBJECT

private slots:
    void fusion_data();
    void fusion();
    void document_data();
    void document();
    void allerRetour_data();
    void allerRetour();
    void nomInvalideRelu_data();
    void nomInvalideRelu();
    void fichier_data();
    void fichier();
    void modeEtGroupeGardes();
};

Q_DECLARE_METATYPE(Attributs)

void TestEnregistrement::fusion_data()
{
    QTest::addColumn<Attributs>("editeur");
    QTest::addColumn<Attributs>("existants");
    QTest::addColumn<Attributs>("attendu");

    QTest::newRow("no loaded file") << Attributs{{"pays", "Niger"}, {"isf", "X"}} << Attributs{}
                                    << Attributs{{"pays", "Niger"}, {"isf", "X"}};
    QTest::newRow("editor values replace loaded ones")
        << Attributs{{"pays", "Niger"}, {"isf", "X"}} << Attributs{{"isf", "ancien"}, {"pays", "Bénin"}}
        << Attributs{{"pays", "Niger"}, {"isf", "X"}};
    QTest::newRow("unmanaged keys follow in file order")
        << Attributs{{"pays", "Niger"}, {"isf", "X"}}
        << Attributs{{"tolerance", "0.5"}, {"pays", "Bénin"}, {"cleInconnue", ""}, {"apiVersion", "1"}}
        << Attributs{{"pays", "Niger"},
                     {"isf", "X"},
                     {"tolerance", "0.5"},
                     {"cleInconnue", ""},
                     {"apiVersion", "1"}};
}

void TestEnregistrement::fusion()
{
    QFETCH(Attributs, editeur);
    QFETCH(Attributs, existants);
    QFETCH(Attributs, attendu);
    QCOMPARE(fusionnerAttributs(editeur, existants), attendu);
}

void TestEnregistrement::document_data()
{
    QTest::addColumn<Attributs>("attributs");
    QTest::addColumn<QByteArray>("attendu");

    QTest::newRow("single element, no declaration, final newline")
        << Attributs{{"pays", "Niger"}, {"mode", "2"}} << QByteArray("<app pays=\"Niger\" mode=\"2\"/>\n");
    QTest::newRow("empty values kept")
        << Attributs{{"isf", ""}, {"jeton", ""}} << QByteArray("<app isf=\"\" jeton=\"\"/>\n");
    QTest::newRow("accents as UTF-8")
        << Attributs{{"pays", "Bénin"}} << QByteArray("<app pays=\"B\xc3\xa9nin\"/>\n");
    QTest::newRow("markup characters escaped")
        << Attributs{{"entreprise", "A&B <Sarl> \"Le Port\" l'atelier"}}
        << QByteArray("<app entreprise=\"A&amp;B &lt;Sarl&gt; &quot;Le Port&quot; l'atelier\"/>\n");
    QTest::newRow("line breaks and tabs as references")
        << Attributs{{"adresse", "Lot 12\nCotonou\tBénin"}}
        << QByteArray("<app adresse=\"Lot 12&#10;Cotonou&#9;B\xc3\xa9nin\"/>\n");
    QTest::newRow("control characters left out")
        << Attributs{{"jeton", QString("ab") + QChar(0x01) + "c" + QChar(0x1b) + QChar(0xFFFF)}}
        << QByteArray("<app jeton=\"abc\"/>\n");
    QTest::newRow("no attribute") << Attributs{} << QByteArray("<app/>\n");
}

void TestEnregistrement::document()
{
    QFETCH(Attributs, attributs);
    QFETCH(QByteArray, attendu);
    QCOMPARE(documentParametres(attributs), attendu);
}

// What is written is what the programs read back, whatever the text typed in a field.
void TestEnregistrement::allerRetour_data()
{
    QTest::addColumn<QString>("valeur");
    QTest::addColumn<QString>("relue");

    QTest::newRow("plain") << "Boulangerie du Port"
                           << "Boulangerie du Port";
    QTest::newRow("quotes both kinds") << "d'\"abord\""
                                       << "d'\"abord\"";
    QTest::newRow("entity-like text") << "&amp; &#10;"
                                      << "&amp; &#10;";
    QTest::newRow("line break and carriage return") << "a\r\nb"
                                                    << "a\r\nb";
    QTest::newRow("leading and trailing spaces") << "  x  "
                                                 << "  x  ";
    QTest::newRow("non-latin script and emoji")
        << QString::fromUtf8("Ниамей 🧾") << QString::fromUtf8("Ниамей 🧾");
    QTest::newRow("NUL and bell dropped") << QString("a") + QChar(0) + "b" + QChar(7) << "ab";
    QTest::newRow("lone high surrogate dropped") << QString("x") + QChar(0xD83E) + "y"
                                                 << "xy";
    QTest::newRow("lone low surrogate dropped") << QString("x") + QChar(0xDC00) << "x";
}

void TestEnregistrement::allerRetour()
{
    QFETCH(QString, valeur);
    QFETCH(QString, relue);
    const FichierParametres lu =
        analyserParametres(documentParametres({{"message", valeur}, {"pays", "Niger"}}));
    QCOMPARE(lu.etat, EtatParametres::Charge);
    QCOMPARE(lu.valeur("message"), relue);
    QCOMPARE(lu.valeur("pays"), QString("Niger"));
}

// A file whose attribute names hold characters XML cannot carry, loaded and saved by the editor: the
// saved file must load again with each setting once.
void TestEnregistrement::nomInvalideRelu_data()
{
    QTest::addColumn<QByteArray>("charge");
    QTest::addColumn<Attributs>("attendus");

    const QByteArray nul(1, '\0');
    QTest::newRow("NUL in a managed key's name") << "<app pays" + nul + "=\"Bénin\" tolerance=\"0.5\"/>"
                                                 << Attributs{{"pays", "Niger"}, {"tolerance", "0.5"}};
    QTest::newRow("NUL in an unmanaged key's name") << "<app apiVer" + nul + "sion=\"1\" apiVersion=\"2\"/>"
                                                    << Attributs{{"pays", "Niger"}, {"apiVersion", "2"}};
}

void TestEnregistrement::nomInvalideRelu()
{
    QFETCH(QByteArray, charge);
    QFETCH(Attributs, attendus);
    const FichierParametres fichier = analyserParametres(charge);
    QCOMPARE(fichier.etat, EtatParametres::Charge);
    const FichierParametres relu =
        analyserParametres(documentParametres(fusionnerAttributs({{"pays", "Niger"}}, fichier.attributs)));
    QCOMPARE(relu.etat, EtatParametres::Charge);
    QCOMPARE(relu.attributs, attendus);
}

void TestEnregistrement::fichier_data()
{
    QTest::addColumn<QString>("cible");   // relative to a fresh temporary folder
    QTest::addColumn<QString>("prepare"); // "fichier", "dossier" or "" (nothing there)
    QTest::addColumn<bool>("reussite");

    QTest::newRow("new file created") << "app.xml"
                                      << "" << true;
    QTest::newRow("existing file replaced") << "app.xml"
                                            << "fichier" << true;
    QTest::newRow("target is a folder") << "app.xml"
                                        << "dossier" << false;
    QTest::newRow("missing parent folder") << "absent/app.xml"
                                           << "" << false;
}

void TestEnregistrement::fichier()
{
    QFETCH(QString, cible);
    QFETCH(QString, prepare);
    QFETCH(bool, reussite);

    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QString chemin = dossier.filePath(cible);
    const QByteArray ancien = "<app pays=\"Niger\" isf=\"ancien\" tolerance=\"0.5\"/>\n";
    if (prepare == "fichier") {
        QFile f(chemin);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(ancien);
    } else if (prepare == "dossier") {
        QVERIFY(QDir().mkpath(chemin));
    }
    const QByteArray nouveau = "<app pays=\"B\xc3\xa9nin\"/>\n";

    QCOMPARE(enregistrerFichier(chemin, nouveau), reussite);

    if (reussite) {
        QFile f(chemin);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), nouveau);
    } else if (prepare == "dossier") {
        QVERIFY(QFileInfo(chemin).isDir());
        QVERIFY(QDir(chemin).isEmpty());
    } else {
        QVERIFY(!QFileInfo::exists(chemin));
    }
    // The temporary file of the save is gone, whatever the outcome.
    const QStringList restants = QDir(dossier.path()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(restants, reussite ? QStringList{"app.xml"} : QStringList{});
}

void TestEnregistrement::modeEtGroupeGardes()
{
    // app.xml readable by its group only (the shop's) stays so after a save, in the same group.
    QTemporaryDir dossier;
    const QString chemin = dossier.filePath("app.xml");
    QFile f(chemin);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("<app/>\n");
    f.close();
    QVERIFY(QFile::setPermissions(chemin, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    // As root the file is first given another group than the user's, as the package does.
    const gid_t groupe = ::geteuid() == 0 ? 65534 : ::getegid();
    QCOMPARE(::chown(QFile::encodeName(chemin).constData(), static_cast<uid_t>(-1), groupe), 0);

    QVERIFY(enregistrerFichier(chemin, "<app pays=\"Niger\"/>\n"));
    struct stat apres;
    QCOMPARE(::stat(QFile::encodeName(chemin).constData(), &apres), 0);
    QCOMPARE(apres.st_mode & 07777, mode_t(0640));
    QCOMPARE(apres.st_gid, groupe);
}

QTEST_GUILESS_MAIN(TestEnregistrement)
#include "tst_enregistrement.moc"
