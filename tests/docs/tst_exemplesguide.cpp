#include "programmesuivi.h"
#include "textesconsole.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

// The example input files of docs/integration.md (examples/guide/<name>/: the settings, the input
// file and the result file the guide shows) certified in demonstration mode by the real engine.
// Judged by the result file, by the guide showing the input and result lines as they are, and by
// every line the engine printed being found in the guide's table of console texts.
class ExemplesGuide : public QObject
{
    Q_OBJECT

    const QDir m_exemples{QStringLiteral(ORVANE_SOURCE_DIR "/examples/guide")};

    static QByteArray lire(const QString &chemin)
    {
        QFile f(chemin);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // The input file as the engine decodes it with the example's `encodage`.
    static QString decoder(const QByteArray &octets, const QByteArray &appXml)
    {
        static const QRegularExpression encodage(QStringLiteral("encodage=\"(\\d*)\""));
        const int code = encodage.match(QString::fromUtf8(appXml)).captured(1).toInt();
        QStringDecoder d(static_cast<QStringConverter::Encoding>(code));
        return d.decode(octets);
    }

    // A console line matches a row when the row's {values} stand for any text.
    static QList<QRegularExpression> motifsTable(const QList<LigneTableMessages> &table)
    {
        static const QRegularExpression valeur(QStringLiteral("\\\\\\{[^}]*\\\\\\}"));
        QList<QRegularExpression> motifs;
        for (const LigneTableMessages &l : table) {
            QString motif = QRegularExpression::escape(l.texte.trimmed());
            motif.replace(valeur, QStringLiteral(".*"));
            motifs << QRegularExpression(QStringLiteral("^") + motif + QStringLiteral("$"));
        }
        return motifs;
    }

private slots:
    void certificationDemo_data()
    {
        QTest::addColumn<QString>("exemple");
        const QStringList noms = m_exemples.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        QVERIFY2(noms.size() >= 5, qPrintable(m_exemples.path()));
        for (const QString &nom : noms)
            QTest::newRow(qPrintable(nom)) << nom;
    }

    void certificationDemo()
    {
        QFETCH(QString, exemple);
        const QDir source(m_exemples.filePath(exemple));
        const QByteArray appXml = lire(source.filePath(QStringLiteral("app.xml")));
        const QByteArray entree = lire(source.filePath(QStringLiteral("facture.csv")));
        const QByteArray attendu = lire(source.filePath(QStringLiteral("facture.csv.mcf")));
        QVERIFY(!appXml.isEmpty() && !entree.isEmpty() && !attendu.isEmpty());
        QVERIFY2(appXml.contains("portMCF=\"DEMO\""), "the guide's examples run in demonstration mode");

        QTemporaryDir dossier;
        QVERIFY(dossier.isValid());
        QVERIFY(installerMoteur(dossier.path()));
        const QDir d(dossier.path());
        for (const auto &[nom, contenu] : {std::pair{QStringLiteral("app.xml"), appXml},
                                          std::pair{QStringLiteral("facture.csv"), entree}}) {
            QFile f(d.filePath(nom));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(contenu);
        }
        // A renderer that does nothing: the print hand-off is the engine's, the document is not judged here.
        const QString renduFactice = d.filePath(QStringLiteral("orvane-render" ORVANE_SUFFIXE_EXE));
        {
            QFile f(renduFactice);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("#!/bin/sh\nexit 0\n");
        }
        QFile::setPermissions(renduFactice, QFile::permissions(renduFactice) | QFile::ExeOwner);

        QProcess moteur;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        moteur.setProcessEnvironment(env);
        moteur.setWorkingDirectory(d.path());
        const QString cheminEntree = d.filePath(QStringLiteral("facture.csv"));
        moteur.start(d.filePath(QStringLiteral("orvane-engine" ORVANE_SUFFIXE_EXE)), {cheminEntree});
        QVERIFY2(moteur.waitForFinished(120000), "the engine did not end");
        QCOMPARE(moteur.exitStatus(), QProcess::NormalExit);
        QCOMPARE(moteur.exitCode(), 0);
        const QString console = QString::fromUtf8(moteur.readAllStandardOutput());

        // The result file, byte for byte as the example folder holds it.
        QCOMPARE(QString::fromUtf8(lire(cheminEntree + QStringLiteral(".mcf"))), QString::fromUtf8(attendu));
        QVERIFY(QFile::exists(cheminEntree + QStringLiteral(".svg")));
        QVERIFY(QFile::exists(cheminEntree + QStringLiteral(".png")));

        // The encoding was honoured: the client's name as the engine printed it.
        const QString texte = decoder(entree, appXml);
        const QStringList entete = texte.split(QLatin1Char('\n')).first().split(QLatin1Char(';'));
        QVERIFY2(console.contains(QStringLiteral("Client: ") + entete.value(5).trimmed() + QStringLiteral(" IFU: ")),
                 qPrintable(console));

        // The guide shows the input file and the result line (tabs as "→").
        const QString guide = QString::fromUtf8(lire(QStringLiteral(ORVANE_SOURCE_DIR "/docs/integration.md")));
        for (const QString &ligne : texte.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QString l = ligne.trimmed().remove(QChar(0xFEFF));
            QVERIFY2(guide.contains(l), qPrintable(QStringLiteral("le guide ne montre pas la ligne: ") + l));
        }
        const QString resultat = QString::fromUtf8(attendu).replace(QLatin1Char('\t'), QStringLiteral("→"));
        QVERIFY2(guide.contains(resultat), qPrintable(QStringLiteral("le guide ne montre pas le resultat: ") + resultat));

        // The document, printed by the real renderer as the engine hands it over (same arguments,
        // the installation folder as working directory): the file's texts decoded as the engine
        // decoded them, under the demonstration mark.
        const QString impression = entete.value(12).trimmed();
        QProcess rendu;
        rendu.setWorkingDirectory(d.path());
        rendu.start(QStringLiteral(ORVANE_BIN_DIR "/orvane-render" ORVANE_SUFFIXE_EXE),
                    {cheminEntree, cheminEntree + QStringLiteral(".mcf")});
        QVERIFY2(rendu.waitForFinished(120000), "the renderer did not end");
        QCOMPARE(rendu.exitCode(), 0);
        const QString pdf = d.filePath((impression.startsWith(QLatin1String("facture")) ? QStringLiteral("pdf/factures/")
                                                                                       : QStringLiteral("pdf/tickets/")) +
                                       entete.value(0).trimmed() + QStringLiteral(".pdf"));
        QProcess texteDocument;
        texteDocument.start(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf,
                                                          QStringLiteral("-")});
        QVERIFY(texteDocument.waitForFinished(60000));
        const QString document = QString::fromUtf8(texteDocument.readAllStandardOutput()).simplified();
        QVERIFY2(document.contains(QStringLiteral("DEMONSTRATION")), qPrintable(pdf + QStringLiteral(": ") + document));
        QVERIFY2(!document.contains(QChar(QChar::ReplacementCharacter)), qPrintable(document));
        if (impression.startsWith(QLatin1String("facture")))
            QVERIFY2(document.contains(entete.value(5).trimmed()), qPrintable(document));

        // Every line printed is explained by the guide's table.
        const QList<QRegularExpression> motifs =
            motifsTable(tableMessages(QStringLiteral(ORVANE_SOURCE_DIR "/docs/integration.md")));
        for (const QString &ligne : console.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            bool trouve = false;
            for (const QRegularExpression &m : motifs)
                trouve = trouve || m.match(ligne.trimmed()).hasMatch();
            QVERIFY2(trouve, qPrintable(QStringLiteral("ligne absente de la table des messages: ") + ligne));
        }
    }
};

QTEST_GUILESS_MAIN(ExemplesGuide)
#include "tst_exemplesguide.moc"
