#include "programmesuivi.h"
#include "textesconsole.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QMap>
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
        // A value may be empty: the spaces around it go with it ("Donnees: " + nothing, trimmed).
        static const QRegularExpression valeur(QStringLiteral("(\\\\ )?\\\\\\{[^}]*\\\\\\}(\\\\ )?"));
        QList<QRegularExpression> motifs;
        for (const LigneTableMessages &l : table) {
            QString motif = QRegularExpression::escape(l.texte.trimmed());
            motif.replace(valeur, QStringLiteral(".*"));
            motifs << QRegularExpression(QStringLiteral("^") + motif + QStringLiteral("$"));
        }
        return motifs;
    }

    // The engine laid out in `dossier` with `appXml`, and a renderer that does nothing: the print
    // hand-off is the engine's, the document is judged apart.
    static bool installer(const QDir &dossier, const QByteArray &appXml)
    {
        QFile f(dossier.filePath(QStringLiteral("app.xml")));
        QFile rendu(dossier.filePath(QStringLiteral("orvane-render" ORVANE_SUFFIXE_EXE)));
        return installerMoteur(dossier.path()) && f.open(QIODevice::WriteOnly) &&
               f.write(appXml) == appXml.size() && rendu.open(QIODevice::WriteOnly) &&
               rendu.write("#!/bin/sh\nexit 0\n") > 0 &&
               rendu.setPermissions(rendu.permissions() | QFile::ExeOwner);
    }

    static bool ecrire(const QString &chemin, const QByteArray &contenu)
    {
        QFile f(chemin);
        return f.open(QIODevice::WriteOnly) && f.write(contenu) == contenu.size();
    }

    // Runs the engine of `dossier` to its end; its console, or a null text when it did not end with 0.
    static QString certifier(const QDir &dossier, const QStringList &arguments,
                             const QMap<QString, QString> &variables = {})
    {
        QProcess moteur;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        for (auto v = variables.begin(); v != variables.end(); ++v)
            env.insert(v.key(), v.value());
        moteur.setProcessEnvironment(env);
        moteur.setWorkingDirectory(dossier.path());
        moteur.start(dossier.filePath(QStringLiteral("orvane-engine" ORVANE_SUFFIXE_EXE)), arguments);
        if (!moteur.waitForFinished(120000) || moteur.exitStatus() != QProcess::NormalExit ||
            moteur.exitCode() != 0)
            return QString();
        return QString::fromUtf8(moteur.readAllStandardOutput());
    }

    // The lines of `console` that no row of the guide's table explains. The e-MCF service's replies,
    // copied as they came (JSON objects, the double's on one line), are told apart by the guide.
    static QStringList horsTable(const QString &console)
    {
        static const QList<QRegularExpression> motifs =
            motifsTable(tableMessages(QStringLiteral(ORVANE_SOURCE_DIR "/docs/integration.md")));
        QStringList absentes;
        for (const QString &ligne : console.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            bool trouve = QJsonDocument::fromJson(ligne.toUtf8()).isObject();
            for (const QRegularExpression &m : motifs)
                trouve = trouve || m.match(ligne.trimmed()).hasMatch();
            if (!trouve)
                absentes << ligne;
        }
        return absentes;
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
        const QDir d(dossier.path());
        QVERIFY(installer(d, appXml));
        const QString cheminEntree = d.filePath(QStringLiteral("facture.csv"));
        QVERIFY(ecrire(cheminEntree, entree));
        const QString console = certifier(d, {cheminEntree});
        QVERIFY2(!console.isNull(), "the engine did not end with 0");

        // The result file, byte for byte as the example folder holds it.
        QCOMPARE(QString::fromUtf8(lire(cheminEntree + QStringLiteral(".mcf"))), QString::fromUtf8(attendu));
        QVERIFY(QFile::exists(cheminEntree + QStringLiteral(".svg")));
        QVERIFY(QFile::exists(cheminEntree + QStringLiteral(".png")));

        // The encoding was honoured: the client's name as the engine printed it.
        const QString texte = decoder(entree, appXml);
        const QStringList entete = texte.split(QLatin1Char('\n')).first().split(QLatin1Char(';'));
        QVERIFY2(console.contains(QStringLiteral("Client: ") + entete.value(5).trimmed() +
                                  QStringLiteral(" IFU: ")),
                 qPrintable(console));

        // The guide shows the input file and the result line (tabs as "→").
        const QString guide =
            QString::fromUtf8(lire(QStringLiteral(ORVANE_SOURCE_DIR "/docs/integration.md")));
        for (const QString &ligne : texte.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QString l = ligne.trimmed().remove(QChar(0xFEFF));
            QVERIFY2(guide.contains(l), qPrintable(QStringLiteral("le guide ne montre pas la ligne: ") + l));
        }
        const QString resultat = QString::fromUtf8(attendu).replace(QLatin1Char('\t'), QStringLiteral("→"));
        QVERIFY2(guide.contains(resultat),
                 qPrintable(QStringLiteral("le guide ne montre pas le resultat: ") + resultat));

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
        const QString pdf =
            d.filePath((impression.startsWith(QLatin1String("facture")) ? QStringLiteral("pdf/factures/")
                                                                        : QStringLiteral("pdf/tickets/")) +
                       entete.value(0).trimmed() + QStringLiteral(".pdf"));
        QProcess texteDocument;
        texteDocument.start(QStringLiteral("pdftotext"),
                            {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
        QVERIFY(texteDocument.waitForFinished(60000));
        const QString document = QString::fromUtf8(texteDocument.readAllStandardOutput()).simplified();
        QVERIFY2(document.contains(QStringLiteral("DEMONSTRATION")),
                 qPrintable(pdf + QStringLiteral(": ") + document));
        QVERIFY2(!document.contains(QChar(QChar::ReplacementCharacter)), qPrintable(document));
        if (impression.startsWith(QLatin1String("facture")))
            QVERIFY2(document.contains(entete.value(5).trimmed()), qPrintable(document));

        // Every line printed is explained by the guide's table.
        QVERIFY2(horsTable(console).isEmpty(),
                 qPrintable(QStringLiteral("absent de la table des messages: ") +
                            horsTable(console).join(QStringLiteral(" | "))));
    }

    // What a new integrator does from the guide: a Niger sale, then its refund naming the sale by
    // the application's own reference, certified on the device simulator.
    void remboursementNigerSurSimulateur()
    {
        SimulateurMCF simulateur({QStringLiteral("--pays"), QStringLiteral("NE")});
        QVERIFY2(!simulateur.terminal.isEmpty(), "the device simulator did not start");
        QTemporaryDir dossier;
        QVERIFY(dossier.isValid());
        const QDir d(dossier.path());
        QVERIFY(installer(
            d,
            "<app pays=\"Niger\" portMCF=\"\" jeton=\"\" encodage=\"\" modePrix=\"TTC\" isf=\"ISF-0001\"/>"));
        const QString vente = d.filePath(QStringLiteral("vente.csv"));
        const QString avoir = d.filePath(QStringLiteral("avoir.csv"));
        QVERIFY(ecrire(vente,
                       "FAC-NE-0100;FV;Moussa;3;E;A\xc3\xaf"
                       "cha Issoufou;120456789;Niamey, Plateau;90000000;;B;;;"
                       "10/12/2026;C-007;10000;Moussa;;;\n"
                       "B;Riz parfum\xc3\xa9 5 kg;1;4200;4998;;0;0;100\nD;Huile 1L;2;1000;1050;;0;0;100\n"));
        QVERIFY(ecrire(avoir, "AV-NE-0100;FA;Moussa;3;E;A\xc3\xaf"
                              "cha Issoufou;120456789;Niamey, Plateau;90000000;;B;"
                              "FAC-NE-0100;;10/12/2026;C-007;;Moussa;;;Huile retourn\xc3\xa9"
                              "e\n"
                              "D;Huile 1L;1;1000;1050;;0;0;100\n"));
        const QString consoleVente =
            certifier(d, {vente, vente + QStringLiteral(".mcf"), simulateur.terminal});
        const QString consoleAvoir =
            certifier(d, {avoir, avoir + QStringLiteral(".mcf"), simulateur.terminal});
        QVERIFY2(!consoleVente.isNull() && !consoleAvoir.isNull(), "the engine did not end with 0");

        // Two invoices validated on the device, the refund naming the sale by its NIM and counter.
        QCOMPARE(simulateur.lignes().filter(QRegularExpression(QStringLiteral("^facture validee "))).size(),
                 2);
        const QStringList champsVente =
            QString::fromUtf8(lire(vente + QStringLiteral(".mcf"))).split(QLatin1Char('\t'));
        const QStringList champsAvoir =
            QString::fromUtf8(lire(avoir + QStringLiteral(".mcf"))).split(QLatin1Char('\t'));
        QCOMPARE(champsVente.size(), 8);
        QCOMPARE(champsAvoir.size(), 8);
        QCOMPARE(champsAvoir.at(7), champsVente.at(3) + QLatin1Char('-') + champsVente.at(1));
        QVERIFY2(consoleAvoir.contains(QStringLiteral("Facture retrouvee: ") + champsAvoir.at(7)),
                 qPrintable(consoleAvoir));

        QVERIFY2(horsTable(consoleVente).isEmpty(),
                 qPrintable(QStringLiteral("absent de la table des messages: ") +
                            horsTable(consoleVente).join(QStringLiteral(" | "))));
        QVERIFY2(horsTable(consoleAvoir).isEmpty(),
                 qPrintable(QStringLiteral("absent de la table des messages: ") +
                            horsTable(consoleAvoir).join(QStringLiteral(" | "))));
    }

    // The guide's Bénin sale certified online, on the e-MCF double: what the engine prints there
    // is in the table too.
    void venteBeninSurServiceEmcf()
    {
        CertificatLocal certificat;
        QVERIFY2(certificat.pret(), "openssl could not make the double's certificate");
        DoubleEmcf service(certificat, {QStringLiteral("--pays"), QStringLiteral("BJ")});
        QVERIFY2(!service.url.isEmpty(), "the e-MCF double did not start");
        QTemporaryDir dossier;
        QVERIFY(dossier.isValid());
        const QDir d(dossier.path());
        QVERIFY(installer(d, "<app pays=\"B\xc3\xa9nin\" modeMCF=\"D\xc3\xa9veloppement\" "
                             "jeton=\"jeton-de-test\" portMCF=\"\"/>"));
        const QString entree = d.filePath(QStringLiteral("facture.csv"));
        QVERIFY(ecrire(entree, lire(m_exemples.filePath(QStringLiteral("benin-vente/facture.csv")))));
        const QString console = certifier(d, {entree}, service.environnement());
        QVERIFY2(!console.isNull(), "the engine did not end with 0");

        QCOMPARE(service.requetes().filter(QRegularExpression(QStringLiteral("^PUT .*/confirm"))).size(), 1);
        const QStringList champs =
            QString::fromUtf8(lire(entree + QStringLiteral(".mcf"))).split(QLatin1Char('\t'));
        QCOMPARE(champs.size(), 8);
        QCOMPARE(champs.at(0), QStringLiteral("FAC-BJ-0001"));
        QVERIFY2(!champs.at(6).isEmpty(), qPrintable(console));
        QVERIFY2(horsTable(console).isEmpty(),
                 qPrintable(QStringLiteral("absent de la table des messages: ") +
                            horsTable(console).join(QStringLiteral(" | "))));
    }
};

QTEST_GUILESS_MAIN(ExemplesGuide)
#include "tst_exemplesguide.moc"
