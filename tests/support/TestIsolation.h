#pragma once

#include <gtest/gtest.h>

#include <QString>

// Keeps the tests of one process apart, so that they pass in any order and run whole as well
// as one by one: each test gets home, XDG and temporary folders of its own (removed after
// it), and what it leaves behind is cleared or reported as its failure: posted events and
// deferred deletions still queued, windows still open, the app's objects still registered as
// the shared ones, a label edit still under way, temporary files.
class TestIsolation final : public ::testing::EmptyTestEventListener
{
public:
    // root: a folder of the process; each test's folders are made inside it.
    explicit TestIsolation(QString root);

    void OnTestStart(const ::testing::TestInfo &test) override;
    void OnTestEnd(const ::testing::TestInfo &test) override;

    // Points HOME, the XDG folders and TMPDIR into folder, creating them.
    static void useHome(const QString &folder);
    // The process's folder, which every test's folders are made in: what is kept there lasts
    // from one test to the next (and goes with the process).
    static QString processFolder();

private:
    QString m_root;
    QString m_testHome;
};
