// A main window with its list set up but no scan worker, over a fresh program table.
#pragma once

#include <gtest/gtest.h>

#include "ModuleHosts.h"
#include "ProgramWindow.h"
#include "TestFolder.h"
#include "app/SessionState.h"

class TableWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Puts a record straight into the table, as a finished scan leaves it.
    ProgramRecord& PutRecord(const std::string& module, const std::string& image, DWORD processId,
                             BYTE verified, BYTE killed);
    std::vector<ListRow> Rows() const { return ReadListRows(list_); }
    int ImageCount() const;
    void SetFilter(bool unverifiedOnly) const;

    ScratchFolder scratch_;
    HWND window_ = NULL;
    HWND list_ = NULL;
};
