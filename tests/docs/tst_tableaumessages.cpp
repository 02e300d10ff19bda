#include "textesconsole.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// The guide docs/integration.md lists every console text of orvane-engine and orvane-render in its
// table "Messages de la console". A text added to the code without its row, or a row whose text has
// left the code, fails here by name.
class TableauMessages : public QObject
{
    Q_OBJECT

    const QString m_guide = QStringLiteral(ORVANE_SOURCE_DIR "/docs/integration.md");
    const QList<TexteConsole> m_textes = textesConsole(QStringLiteral(ORVANE_SOURCE_DIR));
    const QList<LigneTableMessages> m_table = tableMessages(m_guide);

private slots:
    void lecturesNonVides()
    {
        // Guards against a moved guide or sources: both sides must be found before they are compared.
        QVERIFY2(m_textes.size() > 50, qPrintable(QString::number(m_textes.size())));
        QVERIFY2(m_table.size() > 50, qPrintable(QString::number(m_table.size())));
    }

    void texteDuCodeDansLaTable_data()
    {
        QTest::addColumn<QString>("texte");
        for (const TexteConsole &t : m_textes)
            QTest::addRow("%s:%d %s", qPrintable(t.fichier), t.ligne, qPrintable(t.texte)) << t.texte;
    }

    void texteDuCodeDansLaTable()
    {
        QFETCH(QString, texte);
        for (const LigneTableMessages &l : m_table)
            if (texteDansLigne(texte, l.texte))
                return;
        QFAIL(qPrintable(QStringLiteral("absent de la table de docs/integration.md: \"%1\"").arg(texte)));
    }

    void ligneDeLaTableDansLeCode_data()
    {
        QTest::addColumn<QString>("ligne");
        for (const LigneTableMessages &l : m_table)
            QTest::addRow("integration.md:%d %s", l.ligne, qPrintable(l.texte)) << l.texte;
    }

    void ligneDeLaTableDansLeCode()
    {
        QFETCH(QString, ligne);
        // A line of values only (an item's amounts) has no words of the code to find.
        static const QRegularExpression valeurs(QStringLiteral("\\{[^}]*\\}"));
        static const QRegularExpression lettre(QStringLiteral("\\p{L}"));
        if (!QString(ligne).remove(valeurs).contains(lettre))
            return;
        for (const TexteConsole &t : m_textes)
            if (texteDansLigne(t.texte, ligne))
                return;
        QFAIL(qPrintable(QStringLiteral("aucun texte du code ne figure dans la ligne \"%1\"").arg(ligne)));
    }

    void extractionDesLitteraux_data()
    {
        // The extractor itself, on sources written for it.
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("attendus");
        QTest::newRow("joined literals, line ends and placeholders cut")
            << QStringLiteral("console << \"La facture \" << r << \" reste en \"\n  \"suspens.\\nFin du "
                              "programme.\\n\";\n"
                              "QStringLiteral(\"Facture %1 abandonnee (etat: %2) ici.\")")
            << QStringList{QStringLiteral("La facture"),        QStringLiteral("reste en suspens."),
                           QStringLiteral("Fin du programme."), QStringLiteral("Facture"),
                           QStringLiteral("abandonnee (etat:"), QStringLiteral(") ici.")};
        QTest::newRow("comments, character literals and single words skipped")
            << QStringLiteral("// \"Commentaire ignore\"\n/* \"aussi\n ignore\" */ char c = '\"'; "
                              "obj.value(\"qrCode\"); q.exec(\"select a from facture where b = ?\");\n"
                              "console << \"Base de donnee connectee.\\n\";")
            << QStringList{QStringLiteral("Base de donnee connectee.")};
    }

    void extractionDesLitteraux()
    {
        QFETCH(QString, source);
        QFETCH(QStringList, attendus);
        QTemporaryDir dossier;
        QVERIFY(dossier.isValid());
        QVERIFY(QDir(dossier.path()).mkpath(QStringLiteral("engine")));
        QFile f(dossier.filePath(QStringLiteral("engine/essai.cpp")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(source.toUtf8());
        f.close();
        QStringList trouves;
        for (const TexteConsole &t : textesConsole(dossier.path()))
            trouves << t.texte;
        QCOMPARE(trouves, attendus);
    }
};

QTEST_GUILESS_MAIN(TableauMessages)
#include "tst_tableaumessages.moc"
