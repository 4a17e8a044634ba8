#include "app/recordtablemodel.h"

#include <QItemSelectionModel>
#include <QtTest>

// The list model of the pages: rows of a filter over records, sorted by any column, a selection that follows
// its record.
class RecordTableModelTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sortsEveryColumnByItsKind_data();
    void sortsEveryColumnByItsKind();
    void filterKeepsTheSortAndTheRowIndex();
    void selectionFollowsItsRecordWhenSorted();
    void changedTextsResortAndAreMadeAnew();
};

namespace {
struct Fixture
{
    QStringList names{"Lok 10", "lok 9", "Äpfelwagen", "Brücke", "Zug"};
    QStringList versions{"1.10", "1.9", "0.5", "2", "1.2-beta"};
    int textCalls = 0;
    RecordTableModel model{{{QStringLiteral("Mod"),
                             [this](int i) {
                                 ++textCalls;
                                 return names.at(i);
                             }},
                            {QStringLiteral("Version"), [this](int i) { return versions.at(i); },
                             RecordTableModel::SortAs::Version}},
                           [](int record, int, int role) {
                               return role == Qt::UserRole ? QVariant(record) : QVariant();
                           }};

    Fixture()
    {
        model.resetRecords(int(names.size()));
        model.setShownRecords({0, 1, 2, 3, 4});
    }
    QStringList column(int c) const
    {
        QStringList texts;
        for (int row = 0; row < model.rowCount(); ++row)
            texts.append(model.index(row, c).data().toString());
        return texts;
    }
};
} // namespace

void RecordTableModelTest::sortsEveryColumnByItsKind_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("names");
    // Text: case ignored, numbers by value, umlauts beside their vowel.
    QTest::newRow("text ascending") << 0 << int(Qt::AscendingOrder)
                                    << QStringList{"Äpfelwagen", "Brücke", "lok 9", "Lok 10", "Zug"};
    QTest::newRow("text descending") << 0 << int(Qt::DescendingOrder)
                                     << QStringList{"Zug", "Lok 10", "lok 9", "Brücke", "Äpfelwagen"};
    // Versions by the program's comparison: 1.9 before 1.10, 1.2-beta as 1.2.
    QTest::newRow("version") << 1 << int(Qt::AscendingOrder)
                             << QStringList{"Äpfelwagen", "Zug", "lok 9", "Lok 10", "Brücke"};
    QTest::newRow("natural order") << -1 << int(Qt::AscendingOrder)
                                   << QStringList{"Lok 10", "lok 9", "Äpfelwagen", "Brücke", "Zug"};
}

void RecordTableModelTest::sortsEveryColumnByItsKind()
{
    QFETCH(int, column);
    QFETCH(int, order);
    QFETCH(QStringList, names);
    Fixture fixture;
    fixture.model.sort(column, Qt::SortOrder(order));
    QCOMPARE(fixture.column(0), names);
}

void RecordTableModelTest::filterKeepsTheSortAndTheRowIndex()
{
    Fixture fixture;
    fixture.model.sort(0, Qt::AscendingOrder);
    fixture.model.setShownRecords({4, 0, 1});
    QCOMPARE(fixture.column(0), (QStringList{"lok 9", "Lok 10", "Zug"}));
    QCOMPARE(fixture.model.rowOfRecord(4), 2);
    QCOMPARE(fixture.model.rowOfRecord(2), -1); // filtered out
    QCOMPARE(fixture.model.recordAt(0), 1);
    QCOMPARE(fixture.model.index(1, 1).data(Qt::UserRole).toInt(), 0);
    QCOMPARE(fixture.model.recordAt(3), -1);
}

void RecordTableModelTest::selectionFollowsItsRecordWhenSorted()
{
    Fixture fixture;
    QItemSelectionModel selection(&fixture.model);
    selection.setCurrentIndex(fixture.model.index(3, 0),
                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QCOMPARE(selection.currentIndex().data().toString(), QStringLiteral("Brücke"));
    fixture.model.sort(0, Qt::DescendingOrder);
    QCOMPARE(selection.currentIndex().data().toString(), QStringLiteral("Brücke"));
    QCOMPARE(selection.selectedRows().value(0).data().toString(), QStringLiteral("Brücke"));
}

void RecordTableModelTest::changedTextsResortAndAreMadeAnew()
{
    Fixture fixture;
    fixture.model.sort(0, Qt::AscendingOrder);
    fixture.column(0);
    const int calls = fixture.textCalls;
    fixture.column(0);
    QCOMPARE(fixture.textCalls, calls); // texts are kept until they change
    fixture.names[4] = QStringLiteral("Aaa-Zug");
    fixture.model.invalidateColumn(0);
    QCOMPARE(fixture.column(0).first(), QStringLiteral("Aaa-Zug"));
}

QTEST_MAIN(RecordTableModelTest)
#include "tst_recordtablemodel.moc"
