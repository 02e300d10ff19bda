#include "registre.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

// The invoice register on a real SQLite file.
class RegistreFactures : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dossier;
    int m_compteur = 0;

    QString nouveauFichier() { return m_dossier.filePath(QStringLiteral("mcf-%1.s3db").arg(++m_compteur)); }

    static ResultatFiscal resultat(const QString &suffixe)
    {
        return {"F;EM01;SIG" + suffixe + ";123;20200109135542", "87" + suffixe, "SIG" + suffixe, "EM01",
                "82/87" + suffixe + " FV", "20200109135542"};
    }

    // Runs one statement on its own connection to `fichier` (as an installer's tool would).
    static void executer(const QString &fichier, const QString &sql)
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "outil");
            db.setDatabaseName(fichier);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY2(q.exec(sql), qPrintable(sql));
        }
        QSqlDatabase::removeDatabase("outil");
    }

private slots:
    void initTestCase() { QVERIFY(m_dossier.isValid()); }

    void enregistreEtRetrouve_data()
    {
        QTest::addColumn<QString>("reference");
        QTest::newRow("plain") << "FAC-001";
        QTest::newRow("single quote") << "O'Neil-42";
        QTest::newRow("quote that would end the statement") << "x' or '1'='1";
        QTest::newRow("empty reference") << "";
        QTest::newRow("accents and slash") << "Facturé/2026/001";
    }

    void enregistreEtRetrouve()
    {
        QFETCH(QString, reference);
        Registre registre("registre-test");
        QVERIFY(registre.ouvrir(nouveauFichier()));
        QVERIFY(!registre.chercher(reference));
        QVERIFY(registre.enregistrer("autre", resultat("B")));
        QVERIFY(registre.enregistrer(reference, resultat("A")));

        const auto trouve = registre.chercher(reference);
        QVERIFY(trouve);
        const ResultatFiscal attendu = resultat("A");
        QCOMPARE((QStringList{trouve->qrcode, trouve->mecef_tc, trouve->mecef_sig, trouve->mecef_nim,
                              trouve->mecef_compt, trouve->mecef_date}),
                 (QStringList{attendu.qrcode, attendu.mecef_tc, attendu.mecef_sig, attendu.mecef_nim,
                              attendu.mecef_compt, attendu.mecef_date}));

        const auto originale = registre.trouverOriginale(reference);
        QVERIFY(originale);
        QCOMPARE(originale->mecef_nim, attendu.mecef_nim);
        QCOMPARE(originale->mecef_tc, attendu.mecef_tc);
        QCOMPARE(originale->mecef_sig, attendu.mecef_sig);
        QVERIFY(!registre.chercher(reference + "x"));
    }

    void persisteEntreDeuxOuvertures()
    {
        const QString fichier = nouveauFichier();
        {
            Registre registre("registre-test");
            QVERIFY(registre.ouvrir(fichier));
            QVERIFY(registre.enregistrer("FAC-9", resultat("9")));
        }
        Registre registre("registre-test");
        QVERIFY(registre.ouvrir(fichier));
        QVERIFY(registre.chercher("FAC-9"));
    }

    void baseInstalleeAvecDoublons()
    {
        // A register installed earlier, with its own table and a reference stored twice.
        const QString fichier = nouveauFichier();
        executer(fichier, "create table facture (reference varchar(50), qrcode varchar(200), mecef_tc varchar(20), "
                          "mecef_sig varchar(50), mecef_nim varchar(20), mecef_compt varchar(20), "
                          "mecef_date varchar(20))");
        executer(fichier, "insert into facture values ('D1','q1','1','S1','N1','1/1 FV','20200101000000')");
        executer(fichier, "insert into facture values ('D1','q2','2','S2','N2','2/2 FV','20200102000000')");
        Registre registre("registre-test");
        QVERIFY(registre.ouvrir(fichier));
        const auto trouve = registre.chercher("D1");
        QVERIFY(trouve);
        QCOMPARE(trouve->qrcode, QStringLiteral("q1"));
        QVERIFY(registre.enregistrer("D2", resultat("2")));
    }

    void tableIllisibleCommeAbsente()
    {
        // A database whose facture is not a usable table: lookups answer "unknown" and the insertion
        // reports its failure instead of pretending to succeed.
        const QString fichier = nouveauFichier();
        executer(fichier, "create view facture as select 1 as reference");
        Registre registre("registre-test");
        QVERIFY(registre.ouvrir(fichier));
        QVERIFY(!registre.chercher("1"));
        QVERIFY(!registre.trouverOriginale("1"));
        QVERIFY(!registre.enregistrer("F", resultat("F")));
    }

    void fichierImpossibleAOuvrir()
    {
        Registre registre("registre-test");
        QVERIFY(!registre.ouvrir(m_dossier.filePath("absent/mcf.s3db")));
        QVERIFY(!registre.chercher("F"));
        QVERIFY(!registre.enregistrer("F", resultat("F")));
    }
};

QTEST_GUILESS_MAIN(RegistreFactures)
#include "tst_registre.moc"
