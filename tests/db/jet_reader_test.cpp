// The reader program on the public Jet databases and on broken files.
#include "jet_support.h"

#include <QTemporaryDir>

#include <set>

using namespace qqc;
using namespace qqc::test;

TEST(JetReader, Jet3FileArrivesWholeWithTypedValues)
{
    QQC_NEED_JET_FIXTURE(path, "nwind.mdb");
    const StreamedFile f = readWithReader(path);
    ASSERT_FALSE(f.refused);
    for (const auto& t : f.declared)
        EXPECT_EQ(t.declaredRows, qint64(f.rows.at(QString::fromUtf8(t.name)).size())) << t.name.constData();

    const QString emp = "Employees";
    const auto& nancy = f.rows.at(emp).at(0);
    EXPECT_TRUE(f.heads.at(emp).columns.at(0).autoNumber);
    EXPECT_EQ(9, f.heads.at(emp).autoNumberCounter);
    EXPECT_EQ(1, nancy[0].integer);
    EXPECT_EQ("1948-12-08T00:00:00", nancy[size_t(f.column(emp, "BirthDate"))].bytes);
    // A memo is whole, not cut at a bind size; a null stays null.
    const QByteArray notes = nancy[size_t(f.column(emp, "Notes"))].bytes;
    EXPECT_TRUE(notes.startsWith("Education includes a BA in psychology"));
    EXPECT_TRUE(notes.endsWith("Toastmasters International.")) << notes.constData();
    EXPECT_EQ(jet::ValueTag::Null, f.rows.at(emp).at(1)[size_t(f.column(emp, "ReportsTo"))].tag);
    EXPECT_EQ(jet::ValueTag::Blob, nancy[size_t(f.column(emp, "Photo"))].tag);
    EXPECT_GT(nancy[size_t(f.column(emp, "Photo"))].bytes.size(), 20000);

    // Code page text becomes UTF-8; a Single keeps its float value; Yes/No is 0/1.
    bool oce = false;
    for (const auto& row : f.rows.at("Customers"))
        oce = oce || row[size_t(f.column("Customers", "CompanyName"))].bytes == "Océano Atlántico Ltda.";
    EXPECT_TRUE(oce);
    double discount = 0;
    for (const auto& row : f.rows.at("Order Details"))
        discount = std::max(discount, row[size_t(f.column("Order Details", "Discount"))].real);
    EXPECT_EQ(double(0.25f), discount);
    std::set<qint64> flags;
    for (const auto& row : f.rows.at("Products"))
        flags.insert(row[size_t(f.column("Products", "Discontinued"))].integer);
    EXPECT_EQ((std::set<qint64>{0, 1}), flags);
}

TEST(JetReader, Jet4AndAceFilesWithDatesBeforeDayZeroAndLate)
{
    QQC_NEED_JET_FIXTURE(jet4, "DateTestDatabase.mdb");
    const StreamedFile d = readWithReader(jet4);
    const auto& rows = d.rows.at("DateTest");
    ASSERT_EQ(6u, rows.size());
    EXPECT_EQ("2021-12-02T00:00:00", rows[0][1].bytes);
    EXPECT_EQ("9999-01-01T00:00:00", rows[1][1].bytes);
    EXPECT_EQ("1898-01-01T00:00:00", rows[2][1].bytes);
    EXPECT_EQ("Pre-1900 years", rows[2][4].bytes);

    QQC_NEED_JET_FIXTURE(ace, "ASampleDatabase.accdb");
    const StreamedFile a = readWithReader(ace);
    const QString t = "Asset Items";
    ASSERT_EQ(65u, a.rows.at(t).size());
    EXPECT_EQ("GEO Rocket", a.rows.at(t)[0][size_t(a.column(t, "Make"))].bytes);
    EXPECT_EQ(1995.5, a.rows.at(t)[0][size_t(a.column(t, "Cost"))].real);
}

// Files the reader cannot read end in a refusal or in "cannot read", never
// in a hang of the caller; the Jet file is never changed.
TEST(JetReader, BrokenFilesAreRefusedOrReportedAndLeftUnchanged)
{
    QQC_NEED_JET_FIXTURE(nwind, "nwind.mdb");
    QTemporaryDir dir;
    const QString empty = dir.filePath("empty.mdb"), garbage = dir.filePath("garbage.mdb"), cut = dir.filePath("cut.mdb");
    QFile(empty).open(QIODevice::WriteOnly);
    QByteArray junk("\0\1\0\0Standard Jet DB\0", 20);
    for (int i = 0; i < 20000; ++i)
        junk += char((i * 7919) >> 5);
    QFile g(garbage);
    ASSERT_TRUE(g.open(QIODevice::WriteOnly) && g.write(junk) == junk.size());
    g.close();
    QFile source(nwind), c(cut);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly) && c.open(QIODevice::WriteOnly));
    c.write(source.read(1500000));
    c.close();

    EXPECT_FALSE(db::isJetFile(empty));
    EXPECT_TRUE(db::isJetFile(garbage));
    for (const QString& file : {empty, garbage, cut, nwind}) {
        const QByteArray before = fileHash(file);
        db::JetStagingRequest request;
        request.jetPath = file;
        request.stagingPath = dir.filePath("staging.tmp");
        request.reader.program = jetReader();
        request.stallMs = 3000;
        const db::JetStagingResult r = db::readJetIntoStaging(request);
        EXPECT_NE(db::JetStagingResult::Done, r.outcome) << file.toStdString();
        EXPECT_FALSE(r.error.isEmpty());
        EXPECT_FALSE(QFile::exists(request.stagingPath));
        EXPECT_EQ(before, fileHash(file));
        if (file == nwind)
            EXPECT_EQ("it is not a sample database (it has no SystemData table)", r.error.toStdString());
        else if (file == empty)
            EXPECT_EQ("it is not a Jet or ACE database file", r.error.toStdString());
        else if (r.outcome == db::JetStagingResult::Refused)
            EXPECT_TRUE(r.error.contains("Access 2.0 and Access 95")) << r.error.toStdString();
        else
            EXPECT_TRUE(r.error.startsWith("cannot read " + file + ": ")) << r.error.toStdString();
    }
}
