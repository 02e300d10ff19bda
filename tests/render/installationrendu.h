#pragma once

#include <attente.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

// A throw-away installation folder holding copies of the programs, an app.xml and the invoice
// files, as the users have it; the programs run with it as their working directory.
class InstallationRendu
{
public:
    bool valide() const { return m_dossier.isValid(); }
    QString chemin(const QString &nom) const { return m_dossier.filePath(nom); }

    // The program's file, ".exe" on Windows; it is started by its name without the suffix.
    bool copierProgramme(const QString &nom)
    {
        const QString fichier = nom + QStringLiteral(ORVANE_SUFFIXE_EXE);
        const QString cible = chemin(fichier);
        return QFile::copy(QStringLiteral(ORVANE_BIN_DIR "/") + fichier, cible) &&
               QFile::setPermissions(cible, QFile::permissions(cible) | QFileDevice::ExeOwner);
    }

    bool ecrire(const QString &nom, const QByteArray &contenu)
    {
        QFile f(chemin(nom));
        return f.open(QIODevice::WriteOnly) && f.write(contenu) == contenu.size();
    }

    QByteArray lire(const QString &nom) const
    {
        QFile f(chemin(nom));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    struct Sortie
    {
        bool fini = false;
        int code = -1;
        QString console;
        QString erreurs; // standard error (Qt's own warnings)
    };

    // Runs a program of the folder to its end (bounded), working directory = the folder, with the
    // environment variables `variables` ("NOM=valeur") added.
    Sortie lancer(const QString &programme, const QStringList &arguments, int delaiMs = attenteFauteMs,
                  const QStringList &variables = {}) const
    {
        QProcess p;
        p.setWorkingDirectory(m_dossier.path());
        QProcessEnvironment environnement = QProcessEnvironment::systemEnvironment();
        for (const QString &v : variables)
            environnement.insert(v.section(QLatin1Char('='), 0, 0), v.section(QLatin1Char('='), 1));
        p.setProcessEnvironment(environnement);
        p.setProcessChannelMode(QProcess::SeparateChannels);
        p.start(chemin(programme), arguments);
        Sortie s;
        s.fini = p.waitForFinished(delaiMs);
        if (!s.fini) {
            p.kill();
            p.waitForFinished();
        }
        s.code = p.exitCode();
        s.console = QString::fromUtf8(p.readAllStandardOutput());
        s.erreurs = QString::fromUtf8(p.readAllStandardError());
        return s;
    }

private:
    QTemporaryDir m_dossier;
};

// A file of tests/data/render, empty when it cannot be read.
inline QByteArray donnee(const QString &nom)
{
    QFile f(QStringLiteral(ORVANE_TEST_DATA_DIR "/render/") + nom);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The sample invoice with the given reference and print mode, and `articlesEnPlus` more items.
inline QByteArray factureExemple(const QString &reference, const QString &impression, int articlesEnPlus = 0)
{
    QStringList lignes =
        QString::fromUtf8(donnee(QStringLiteral("facture.csv"))).split('\n', Qt::SkipEmptyParts);
    QStringList entete = lignes.at(0).split(';');
    entete[0] = reference;
    entete[12] = impression;
    lignes[0] = entete.join(';');
    for (int i = 0; i < articlesEnPlus; ++i)
        lignes.append(QStringLiteral("B;Article %1;1;100;118").arg(i + 1));
    return (lignes.join('\n') + '\n').toUtf8();
}

// Output of a helper tool (pdftotext, pdftoppm, zbarimg), empty when it fails.
inline QString sortieOutil(const QString &outil, const QStringList &arguments)
{
    QProcess p;
    p.start(outil, arguments);
    if (!p.waitForFinished(attenteFauteMs) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Text of a PDF file with every run of white space (line ends included) made one space, so that
// fragments can be looked for whatever the page layout. Ligatures are left as pdftotext reads them:
// the documents have none, so that an accountant's search for "Kofi" finds it.
inline QString textePdf(const QString &chemin)
{
    return sortieOutil(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), chemin, QStringLiteral("-")})
        .simplified();
}

// Right edges, in points, of the ticket's item table lines (the lines holding three "|") of a PDF's first
// page: with a fixed-pitch font and padded columns they are all the same.
inline QList<double> bordsDroitsColonnes(const QString &chemin)
{
    const QString html =
        sortieOutil(QStringLiteral("pdftotext"),
                    {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                     QStringLiteral("1"), chemin, QStringLiteral("-")});
    static const QRegularExpression mot(QStringLiteral(
        "<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"[0-9.]+\">([^<]*)</word>"));
    QMap<QString, QPair<int, double>> lignes; // yMin -> (number of "|", right edge)
    for (auto m = mot.globalMatch(html); m.hasNext();) {
        const auto r = m.next();
        auto &ligne = lignes[r.captured(2)];
        ligne.first += r.captured(4).count(QLatin1Char('|'));
        ligne.second = std::max(ligne.second, r.captured(3).toDouble());
    }
    QList<double> bords;
    for (const auto &ligne : lignes) {
        if (ligne.first == 3)
            bords.append(ligne.second);
    }
    return bords;
}

// Environment of a machine without any printer: the print system's client asks a server that does
// not exist.
inline QStringList sansImprimante(const QString &dossier)
{
    return {QStringLiteral("CUPS_SERVER=") + dossier + QStringLiteral("/cups-absent.sock")};
}

// Texts of the QR codes found on the first page of a PDF rendered at 300 dpi.
inline QStringList codesQrPdf(const QString &chemin, const QString &dossierTravail)
{
    const QString image = dossierTravail + QStringLiteral("/page");
    sortieOutil(QStringLiteral("pdftoppm"),
                {QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-png"),
                 QStringLiteral("-singlefile"), chemin, image});
    const QString codes =
        sortieOutil(QStringLiteral("zbarimg"),
                    {QStringLiteral("-q"), QStringLiteral("--raw"), image + QStringLiteral(".png")});
    return codes.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Number of pages of a PDF, 0 when it cannot be read.
inline int pagesPdf(const QString &chemin)
{
    const QString info = sortieOutil(QStringLiteral("pdfinfo"), {chemin});
    for (const QString &ligne : info.split(QLatin1Char('\n'))) {
        if (ligne.startsWith(QStringLiteral("Pages:")))
            return ligne.mid(6).trimmed().toInt();
    }
    return 0;
}

// A PDF file that its writer has finished.
inline bool pdfTermine(const QString &chemin)
{
    QFile f(chemin);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return f.readAll().trimmed().endsWith("%%EOF");
}
