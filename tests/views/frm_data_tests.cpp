// The sample grid window on a copy of the built template, driven the way a
// user drives it (mouse on the viewport, cell edits through the model, the
// buttons) with every question answered by a scripted prompter.

#include "db/db_fixture.h"
#include "support/scripted_prompter.h"
#include "views/ui/frm_data.h"
#include "views/ui/sample_grid_view.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace qqc;

namespace {

class GridTest : public test::TemplateCopy {
protected:
    void SetUp() override
    {
        TemplateCopy::SetUp();
        store = openStore();
        ASSERT_TRUE(store);
    }
    void open()
    {
        form.resize(900, 500);
        form.SetDB(&db());
        form.UpdateForm();
        form.show();
        QCoreApplication::processEvents();
    }
    db::Database& db() { return store->database(); }
    // A sample with `fields` over the template's defaults, dated, and with its
    // number as its Sample # (as the live store writes it) unless given.
    qint32 addSample(QVariantMap fields = {})
    {
        if (!fields.contains("SampleDate"))
            fields["SampleDate"] = "2004-03-05T10:22:31";
        QVariant id;
        db().executeOn("Samples",
                       QString("INSERT INTO Samples (%1) VALUES (%2)")
                           .arg(fields.keys().join(", "), QStringList(fields.size(), "?").join(", ")),
                       fields.values(), &id);
        if (!fields.contains("SampleNum"))
            db().execute("UPDATE Samples SET SampleNum = SampleID WHERE SampleID = ?", {id});
        return id.toInt();
    }
    void addDetail(qint32 sampleId, int parmId, float value, int severity)
    {
        db().execute("INSERT INTO SampleDetails (SampleID, ParmID, Value, Severity) VALUES (?, ?, ?, ?)",
                     {sampleId, parmId, double(value), severity});
    }
    QVariant sampleField(qint32 id, const QString& field)
    {
        return db().queryValue(QString("SELECT %1 FROM Samples WHERE SampleID = ?").arg(field), {id});
    }
    float detailValue(qint32 id, int parmId) { return store->detailValue(id, short(parmId)); }
    int count(const QString& sql) { return db().queryValue(sql).toInt(); }

    SampleGridModel& model() { return form.model(); }
    QString text(int gridRow, int column) { return model().cellText(gridRow - 1, column); }
    QColor colour(int gridRow, int column, int role)
    {
        return model().data(model().index(gridRow - 1, column), role).value<QColor>();
    }
    QColor back(int gridRow, int column) { return colour(gridRow, column, Qt::BackgroundRole); }
    QColor fore(int gridRow, int column) { return colour(gridRow, column, Qt::ForegroundRole); }
    void edit(int gridRow, int column, const QString& value)
    {
        ASSERT_TRUE(model().setData(model().index(gridRow - 1, column), value, Qt::EditRole));
    }
    QPoint cellCentre(int gridRow, int column)
    {
        return form.grid().visualRect(model().index(gridRow - 1, column)).center();
    }
    void click(int gridRow, int column)
    {
        QTest::mouseClick(form.grid().viewport(), Qt::LeftButton, {}, cellCentre(gridRow, column));
    }
    // Clicks a row's Sample # cell: highlights it and sets both anchors.
    void select(int gridRow) { click(gridRow, SampleGridModel::ColSampleNum); }
    int viscCol() { return model().viscosityColumn(); }
    int dielCol() { return model().dielectricColumn(); }
    // The template's Ferrous Index (ParmID 59): the third parameter column.
    static constexpr int kFerrousCol = SampleGridModel::FirstParmColumn + 2;

    test::ScriptedPrompter prompter;
    std::unique_ptr<db::SampleDatabase> store;
    frmData form;
};

TEST_F(GridTest, ButtonsNeedSamplesAndASelectionRecalculateTopDownAndNoToDeleteKeepsAll)
{
    QSignalSpy init(&form, &frmData::InitCtl);
    QSignalSpy unload(&form, &frmData::Unload);
    open();
    EXPECT_EQ(init.count(), 1);
    EXPECT_FALSE(form.button(5)->isVisible()) << "import is hidden unless enabled";
    form.SetImport(true);
    EXPECT_TRUE(form.button(5)->isVisible());
    EXPECT_EQ(model().rowCount(), 0);
    EXPECT_EQ(model().columnCount(), 11 + 9 + 1);  // fixed columns, the template's nine parameters, Comments
    form.button(1)->click();
    EXPECT_EQ(prompter.texts(), QStringList{QStringLiteral("There are no samples to delete!")});
    EXPECT_EQ(prompter.messages[0].title, QString());

    prompter.messages.clear();
    std::vector<qint32> ids;
    for (int i = 0; i < 4; ++i)
        ids.push_back(addSample());
    form.UpdateForm();
    QSignalSpy recalc(&form, &frmData::RecalculateAlarms);
    form.button(2)->click();
    form.button(1)->click();
    EXPECT_EQ(prompter.texts(), (QStringList{QStringLiteral("Please select Sample(s) to Recalculate "),
                                             QStringLiteral("You have not selected a Sample!\r\nClick on a Sample to select it. ")}));
    EXPECT_EQ(prompter.messages[1].title, QStringLiteral("Deleting Samples"));
    EXPECT_EQ(recalc.count(), 0);

    // Recalculate raises once per highlighted row, top down, then says so.
    select(2);
    form.vsFlexData_MouseMove(3, true);  // drag on to row 3
    form.vsFlexData_MouseUp(3);
    form.button(2)->click();
    ASSERT_EQ(recalc.count(), 2);
    EXPECT_EQ(recalc.at(0).at(0).toInt(), ids[2]);
    EXPECT_EQ(recalc.at(1).at(0).toInt(), ids[1]);
    EXPECT_EQ(prompter.texts().last(), QStringLiteral("Finished"));

    // Answering No to Delete clears the anchors but keeps the highlight.
    select(2);
    prompter.answers.push_back(Answer::No);
    form.button(1)->click();
    EXPECT_EQ(prompter.texts().last(), QStringLiteral("Are you sure you want to DELETE the selected Sample(s)?"));
    EXPECT_EQ(prompter.messages.back().style & MsgStyle::ButtonMask, MsgStyle::YesNo);
    EXPECT_EQ(form.firstAnchor(), -1);
    EXPECT_EQ(form.lastAnchor(), -1);
    EXPECT_TRUE(model().isHighlighted(1));
    EXPECT_EQ(model().rowCount(), 4);
    form.button(2)->click();  // the anchors are gone, so nothing is selected
    EXPECT_EQ(prompter.texts().last(), QStringLiteral("Please select Sample(s) to Recalculate "));
    form.close();
    EXPECT_EQ(unload.count(), 1);
}

TEST_F(GridTest, RowsShowNewestFirstWithTheDisplayAndEditRulesOfEachColumn)
{
    const qint32 a = addSample({{"SampleNum", "0"}, {"SampleDate", QVariant()}, {"UnitUsage", 0}, {"OilUsage", -1},
                                {"OilAdded", 12.5}});
    const qint32 b = addSample({{"SampleNum", "LAB-7"}, {"EquipmentID", "PUMP 3"}, {"RefDielectric", 2.25},
                                {"Comments", "dark oil"}});
    addDetail(b, 58, 2.31234f, 1);
    db().execute("UPDATE Parameters SET ParmText = NULL WHERE ParmID = 65");  // a catalogue row without a text
    open();

    ASSERT_EQ(model().rowCount(), 2);
    EXPECT_EQ(text(1, 0).toInt(), b);  // newest first
    EXPECT_EQ(text(1, 1), QStringLiteral("LAB-7"));
    EXPECT_FALSE(text(1, 2).isEmpty());
    EXPECT_EQ(text(1, 3), QStringLiteral("PUMP 3"));
    EXPECT_EQ(text(1, 10), QStringLiteral("2.25"));
    EXPECT_EQ(text(1, dielCol()), QStringLiteral("2.31"));  // the parameter's Format
    EXPECT_EQ(text(1, model().commentsColumn()), QStringLiteral("dark oil"));

    EXPECT_EQ(text(2, 1), QString::number(a));  // SampleNum 0 shows the SampleID
    EXPECT_EQ(text(2, 2), QString());           // no date
    EXPECT_EQ(text(2, 4), QStringLiteral("0"));  // usage 0 shows, -1 is blank
    EXPECT_EQ(text(2, 5), QString());
    EXPECT_EQ(text(2, 6), QStringLiteral("12.5"));
    EXPECT_EQ(text(2, 10), QString());  // no reference dielectric
    EXPECT_EQ(text(2, dielCol()), QString());

    // Parameter columns follow the catalogue by ParmID, headed by their
    // description, with their text as tip; one without a text is not alarmed.
    QStringList headers;
    for (int c = SampleGridModel::FirstParmColumn; c < model().commentsColumn(); ++c)
        headers << model().headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(headers.join('|'), "Dielectric Change|Dielectric|Ferrous Index|Water|Large Water Droplets|"
                                 "Large Ferrous Particles|Large Non-Ferrous Particles|Viscosity Change %|Viscosity @ 40C");
    EXPECT_EQ(model().data(model().index(0, kFerrousCol), Qt::ToolTipRole).toString(), "  Ferrous wear index  ");
    EXPECT_EQ(model().data(model().index(0, kFerrousCol + 2), Qt::ToolTipRole).toString(), "  Parameter not Alarmed  ");
    EXPECT_TRUE(form.grid().isColumnHidden(0));
    std::vector<int> editable;
    for (int c = 0; c < model().columnCount(); ++c)
        if (model().flags(model().index(0, c)) & Qt::ItemIsEditable)
            editable.push_back(c);
    EXPECT_EQ(editable, (std::vector<int>{1, 3, 4, 5, 6, viscCol(), model().commentsColumn()}));
}

// The level bands themselves are pinned in the analysis tests; here: a stored
// severity is shown as "0; " formats it and painted in its level's colour,
// with white text on red only.
TEST_F(GridTest, CellsArePaintedByTheirLevelAndRedCellsHaveWhiteText)
{
    const qint32 id = addSample({{"WearSev", -1}, {"ContamSev", 20}, {"ChemSev", 71}});
    addDetail(id, 58, 2.5f, 5);
    addDetail(id, 59, 12.0f, 3);
    addDetail(id, 999, 1.0f, 4);  // no column: skipped
    open();
    const QColor white(0xFF, 0xFF, 0xFF), cyan(0x00, 0xFF, 0xFF), red(0xFF, 0x00, 0x00), yellow(0xFF, 0xFF, 0x00);
    const struct {
        int column;
        QString text;
        QColor back, fore;
    } cells[] = {{7, " ", white, Qt::black},  {8, "20", cyan, Qt::black},     {9, "71", red, Qt::white},
                 {kFerrousCol, "12.0", yellow, Qt::black}, {dielCol(), "2.50", red, Qt::white}};
    for (const auto& c : cells) {
        EXPECT_EQ(text(1, c.column), c.text) << c.column;
        EXPECT_EQ(back(1, c.column), c.back) << c.column;
        EXPECT_EQ(fore(1, c.column), c.fore) << c.column;
    }
    EXPECT_FALSE(back(1, viscCol()).isValid());  // no detail: not painted
}

TEST_F(GridTest, TextEditsStoreNullWhenClearedButUsageTakesOnlyNumbersAndNeverEmpty)
{
    const qint32 id = addSample({{"EquipmentID", "GEARBOX"}, {"UnitUsage", 1200}, {"Comments", "keep an eye on it"}});
    open();
    edit(1, 4, QStringLiteral("abc"));
    EXPECT_EQ(text(1, 4), QString());  // blanked
    EXPECT_EQ(sampleField(id, "UnitUsage").toString(), QStringLiteral("1200"));
    EXPECT_EQ(prompter.beeps, 1);
    edit(1, 4, QString());
    EXPECT_EQ(sampleField(id, "UnitUsage").toString(), QStringLiteral("1200"));
    edit(1, 5, QStringLiteral(" 350 "));
    EXPECT_EQ(sampleField(id, "OilUsage").toString(), QStringLiteral("350"));
    EXPECT_EQ(text(1, 5), QStringLiteral("350"));

    for (int column : {1, 3, model().commentsColumn()})
        edit(1, column, QString());
    for (const char* field : {"SampleNum", "EquipmentID", "Comments"})
        EXPECT_TRUE(sampleField(id, field).isNull()) << field;
    EXPECT_EQ(text(1, 1), QString::number(id));  // falls back to the SampleID
    edit(1, 1, QStringLiteral("A-17"));
    edit(1, 3, QStringLiteral("X").repeated(40));
    EXPECT_EQ(sampleField(id, "SampleNum").toString(), QStringLiteral("A-17"));
    EXPECT_EQ(sampleField(id, "EquipmentID").toString().size(), 26);
    EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(GridTest, ViscosityEditStoresTheDetailAndRaisesViscChgBeforeRecalculateOnlyWithADielectric)
{
    const qint32 plain = addSample();  // row 3: no dielectric
    const qint32 id = addSample();     // row 2
    addDetail(id, 58, 2.5f, 1);
    const qint32 gone = addSample();   // row 1: deleted meanwhile, below
    addDetail(gone, 58, 2.5f, 1);
    open();
    std::vector<QString> events;
    float diel = 0, visc = 0;
    QObject::connect(&form, &frmData::ViscChg, [&](qint32 s, float d, float v) {
        events.push_back(QStringLiteral("ViscChg %1").arg(s));
        diel = d;
        visc = v;
    });
    QObject::connect(&form, &frmData::RecalculateAlarms,
                     [&](qint32 s) { events.push_back(QStringLiteral("RecalculateAlarms %1").arg(s)); });
    edit(2, viscCol(), QStringLiteral("46.5"));
    EXPECT_FLOAT_EQ(detailValue(id, 132), 46.5f);
    EXPECT_EQ(events, (std::vector<QString>{QStringLiteral("ViscChg %1").arg(id),
                                            QStringLiteral("RecalculateAlarms %1").arg(id)}));
    EXPECT_FLOAT_EQ(diel, 2.5f);
    EXPECT_FLOAT_EQ(visc, 46.5f);
    EXPECT_EQ(text(2, viscCol()), QStringLiteral("46.5"));

    edit(2, viscCol(), QStringLiteral("48"));  // an existing detail is updated
    EXPECT_FLOAT_EQ(detailValue(id, 132), 48.0f);
    EXPECT_EQ(count("SELECT COUNT(*) FROM SampleDetails WHERE ParmID = 132"), 1);

    edit(2, viscCol(), QStringLiteral("thick"));  // not a number: blanked, stored value stays
    EXPECT_EQ(text(2, viscCol()), QString());
    EXPECT_FLOAT_EQ(detailValue(id, 132), 48.0f);
    EXPECT_EQ(events.size(), 4u);

    // Without a dielectric the value is stored but reported, and nothing is raised.
    edit(3, viscCol(), QStringLiteral("40"));
    EXPECT_FLOAT_EQ(detailValue(plain, 132), 40.0f);
    EXPECT_EQ(events.size(), 4u);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_TRUE(prompter.messages[0].text.endsWith(QStringLiteral("in routine: vsFlexData_AfterEdit ")))
        << prompter.messages[0].text.toStdString();

    // Edits of a sample deleted meanwhile are skipped silently, leaving no orphan detail.
    db().execute("DELETE FROM Samples WHERE SampleID = ?", {gone});
    edit(1, 1, QStringLiteral("99"));
    edit(1, 4, QStringLiteral("10"));
    edit(1, viscCol(), QStringLiteral("40"));
    EXPECT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(events.size(), 4u);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM SampleDetails WHERE SampleID = %1").arg(gone)), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Samples"), 2);
}

TEST_F(GridTest, ClickMakesTheRowCurrentAndDragHighlightsEveryRowPassed)
{
    addSample();
    const qint32 newest = addSample();
    open();
    QSignalSpy sel(&form, &frmData::SelFromGrid);
    select(1);
    ASSERT_EQ(sel.count(), 1);
    EXPECT_EQ(sel.at(0).at(0).toInt(), newest);
    EXPECT_TRUE(model().isHighlighted(0));
    EXPECT_EQ(back(1, 1), QApplication::palette().color(QPalette::Highlight));
    EXPECT_EQ(form.firstAnchor(), 1);
    EXPECT_EQ(form.lastAnchor(), 1);

    select(2);  // a new click replaces the highlight
    EXPECT_FALSE(model().isHighlighted(0));
    EXPECT_TRUE(model().isHighlighted(1));

    // The right button clears the highlight and selects nothing.
    QTest::mouseClick(form.grid().viewport(), Qt::RightButton, {}, cellCentre(1, 1));
    EXPECT_EQ(model().highlightedCount(), 0);
    EXPECT_EQ(form.firstAnchor(), -1);
    EXPECT_EQ(form.lastAnchor(), -1);
    EXPECT_EQ(sel.count(), 2);

    // Dragging highlights every row between press and release.
    for (int i = 0; i < 4; ++i)
        addSample();
    form.UpdateForm();
    QWidget* vp = form.grid().viewport();
    QTest::mousePress(vp, Qt::LeftButton, {}, cellCentre(5, 1));
    QMouseEvent move(QEvent::MouseMove, cellCentre(1, 1), vp->mapToGlobal(cellCentre(1, 1)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &move);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, cellCentre(1, 1));
    EXPECT_EQ(model().highlightedRows(), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_GE(form.firstAnchor(), 1);
    EXPECT_GE(form.lastAnchor(), 1);
}

TEST_F(GridTest, DeleteRemovesHighlightedSamplesWithTheirDetailsAndSkipsVanishedOnes)
{
    std::vector<qint32> ids;
    for (int i = 0; i < 5; ++i) {
        ids.push_back(addSample());
        addDetail(ids.back(), 58, 2.0f + i, 1);
        addDetail(ids.back(), 59, 10.0f + i, 1);
    }
    db().execute("INSERT INTO Images (SampleID, ReportSlot, ImageFile) VALUES (?, 1, 'a.jpg')", {ids[3]});
    open();
    select(1);  // ids[4]
    form.vsFlexData_MouseMove(3, true);
    form.vsFlexData_MouseUp(3);  // rows 1..3: ids[4], ids[3], ids[2]
    // Someone else removed ids[4] meanwhile (the file's trigger takes its details along).
    db().execute("DELETE FROM Samples WHERE SampleID = ?", {ids[4]});
    prompter.answers.push_back(Answer::Yes);
    form.button(1)->click();

    EXPECT_EQ(prompter.messages.size(), 1u);  // only the question
    EXPECT_EQ(model().sampleIds(), (std::vector<qint32>{ids[4], ids[1], ids[0]}));
    EXPECT_EQ(count("SELECT COUNT(*) FROM Samples"), 2);
    // The kept samples keep their details; nothing is left of the others.
    EXPECT_EQ(count(QString("SELECT COUNT(*) FROM SampleDetails WHERE SampleID IN (%1, %2)").arg(ids[0]).arg(ids[1])), 4);
    EXPECT_EQ(count("SELECT COUNT(*) FROM SampleDetails"), 4);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Images"), 0);
    EXPECT_EQ(form.firstAnchor(), -1);
    EXPECT_EQ(form.lastAnchor(), -1);
}

TEST_F(GridTest, HeaderClicksSortDescendingFirstThenAlternateNumbersAsNumbers)
{
    const std::vector<int> usages = {30, 5, 200, -1};
    std::vector<qint32> ids;
    for (int u : usages)
        ids.push_back(addSample({{"UnitUsage", u}}));
    open();
    select(2);
    QHeaderView* header = form.grid().horizontalHeader();
    const QPoint at(header->sectionViewportPosition(4) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(form.sortState(4), 2);
    EXPECT_EQ(model().sampleIds(), (std::vector<qint32>{ids[2], ids[0], ids[1], ids[3]}));  // 200, 30, 5, blank
    EXPECT_EQ(model().highlightedCount(), 0);  // pressing the header clears the highlight
    EXPECT_EQ(form.firstAnchor(), 0);

    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(form.sortState(4), 1);
    EXPECT_EQ(model().sampleIds(), (std::vector<qint32>{ids[3], ids[1], ids[0], ids[2]}));
    EXPECT_EQ(text(1, 4), QString());
    EXPECT_EQ(text(4, 4), QStringLiteral("200"));

    form.vsFlexData_Click(0, 4);
    EXPECT_EQ(form.sortState(4), 2);

    // Sample numbers sort as numbers, text after them; parameters by value, none last.
    for (const auto& [num, id] : {std::pair{"9", ids[0]}, {"100", ids[1]}, {"B-1", ids[3]}})
        db().execute("UPDATE Samples SET SampleNum = ? WHERE SampleID = ?", {num, id});
    addDetail(ids[0], 59, 50.0f, 1);
    addDetail(ids[1], 59, 7.0f, 1);
    form.UpdateForm();
    form.vsFlexData_Click(0, 1);
    EXPECT_EQ(model().sampleIds(), (std::vector<qint32>{ids[3], ids[1], ids[0], ids[2]}));
    form.vsFlexData_Click(0, kFerrousCol);
    EXPECT_EQ(model().sampleIds().front(), ids[0]);
    EXPECT_EQ(model().sampleIds()[1], ids[1]);
}

TEST_F(GridTest, NewSampleCommitsTheCellBeingEditedAppearsAsFirstRowAndRefreshRereadsOneRow)
{
    const qint32 old = addSample();
    open();
    form.vsFlexData_Click(0, 1);
    form.vsFlexData_Click(0, 1);  // ascending sample numbers
    click(1, model().commentsColumn());  // a Comments click opens the editor at once
    ASSERT_TRUE(form.grid().isEditing());
    auto* editor = qobject_cast<QLineEdit*>(form.grid().indexWidget(model().index(0, model().commentsColumn())));
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("typed while a test came in"));
    const qint32 fresh = addSample();
    form.AddDataToGrid(fresh);
    EXPECT_FALSE(form.grid().isEditing());
    EXPECT_EQ(sampleField(old, "Comments").toString(), QStringLiteral("typed while a test came in"));
    EXPECT_EQ(text(2, model().commentsColumn()), QStringLiteral("typed while a test came in"));
    EXPECT_EQ(model().sampleIds(), (std::vector<qint32>{fresh, old}));
    EXPECT_EQ(text(1, 1), QString::number(fresh));

    db().execute("UPDATE Samples SET WearSev = 85 WHERE SampleID = ?", {old});
    EXPECT_EQ(text(2, 7), QString(" "));
    form.RefreshSampleDisplay(old);
    EXPECT_EQ(text(2, 7), QStringLiteral("85"));
    EXPECT_EQ(back(2, 7), QColor(0xFF, 0x00, 0x00));
}

TEST_F(GridTest, LargeDatabaseIsReadOnlyAroundTheVisibleRows)
{
    db().beginTrans();
    for (int i = 0; i < 3000; ++i)
        addSample();
    db().commitTrans();
    open();
    EXPECT_EQ(model().rowCount(), 3000);
    EXPECT_LE(model().cachedRowCount(), SampleGridModel::kPageSize);
    form.grid().scrollToBottom();
    QCoreApplication::processEvents();
    EXPECT_LE(model().cachedRowCount(), 2 * SampleGridModel::kPageSize);
    EXPECT_EQ(text(3000, 0).toInt(), 1);
}

} // namespace
