#include "sortieconsole.h"

#include <QtTest>

#include <ostream>

// The engine's console: what reaches standard output, and when.
class TestSortieConsole : public QObject
{
    Q_OBJECT

private:
    // Steps written in order; "|" alone asks for a flush.
    static QStringList ecrire(const QStringList &etapes, QStringList *apresEcriture = nullptr)
    {
        QStringList livre;
        {
            SortieConsole sortie([&](const char *octets, std::size_t taille) {
                livre << QString::fromUtf8(octets, static_cast<qsizetype>(taille));
            });
            std::ostream console(&sortie);
            for (const QString &etape : etapes) {
                if (etape == QStringLiteral("|"))
                    console.flush();
                else if (etape.size() == 1)
                    console << etape.at(0).toLatin1(); // one character goes through overflow
                else
                    console << etape.toStdString();
            }
            if (apresEcriture)
                *apresEcriture = livre;
        }
        return livre;
    }

private slots:
    void livraisons_data()
    {
        QTest::addColumn<QStringList>("etapes");
        QTest::addColumn<QStringList>("avantFin"); // handed over while the console lives
        QTest::addColumn<QStringList>("livre");    // and once it is gone

        QTest::newRow("one line") << QStringList{"Base de donnee connectee.\n"}
                                  << QStringList{"Base de donnee connectee.\n"}
                                  << QStringList{"Base de donnee connectee.\n"};
        QTest::newRow("a line in pieces goes out when it ends, in one write")
            << QStringList{"La facture ", "FAC-1", " est en cours", "\n"}
            << QStringList{"La facture FAC-1 est en cours\n"}
            << QStringList{"La facture FAC-1 est en cours\n"};
        QTest::newRow("a block of lines goes out in one write")
            << QStringList{"Article 1\nArticle 2\nArticle 3\n"}
            << QStringList{"Article 1\nArticle 2\nArticle 3\n"}
            << QStringList{"Article 1\nArticle 2\nArticle 3\n"};
        QTest::newRow("an unended line waits for its end")
            << QStringList{"a\nb", "c\nd"} << QStringList{"a\n", "bc\n"} << QStringList{"a\n", "bc\n", "d"};
        QTest::newRow("one character at a time")
            << QStringList{"x", "y", "\n", "z"} << QStringList{"xy\n"} << QStringList{"xy\n", "z"};
        QTest::newRow("a flush hands over an unended line")
            << QStringList{"Total: ", "|", "118\n"} << QStringList{"Total: ", "118\n"}
            << QStringList{"Total: ", "118\n"};
        QTest::newRow("empty lines") << QStringList{"\n\n", "\n"} << QStringList{"\n\n", "\n"}
                                     << QStringList{"\n\n", "\n"};
        QTest::newRow("nothing written, nothing handed over, flush or not")
            << QStringList{"|"} << QStringList{} << QStringList{};
    }

    void livraisons()
    {
        QFETCH(QStringList, etapes);
        QFETCH(QStringList, avantFin);
        QFETCH(QStringList, livre);
        QStringList pendant;
        QCOMPARE(ecrire(etapes, &pendant), livre);
        QCOMPARE(pendant, avantFin);
    }
};

QTEST_APPLESS_MAIN(TestSortieConsole)
#include "tst_sortieconsole.moc"
