// Rows of text held in memory, with the same dataset rules as a table cursor:
// one current row, edit and insert buffers, posting a changed row when the
// current row moves and dropping an unchanged one. Serves the grid where no
// table stands behind it (tests, previews).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/grid/GridDataSource.h"

namespace qv::grid {

class MemoryGridSource : public GridDataSource {
public:
    explicit MemoryGridSource(std::vector<std::string> fields);

    // Values a new row starts with (field -> text).
    void SetDefault(const std::string& field, const std::string& value);
    // Fields that must not be empty when a row is posted.
    void SetRequired(const std::string& field);
    // Checks a value before SetValue takes it; throws to refuse.
    using Validator = std::function<void(const std::string& field, const std::string& text)>;
    void SetValidator(Validator v) { validator_ = std::move(v); }

    void AddRow(std::vector<std::string> values);
    const std::vector<std::vector<std::string>>& rows() const { return rows_; }
    std::string Stored(int row, const std::string& field) const;  // the posted value
    int postCount() const { return posts_; }

    int RowCount() const override { return static_cast<int>(rows_.size()); }
    int CurrentRow() const override { return current_; }
    void MoveTo(int row) override;
    std::string CellText(int row, const std::string& field) const override;
    std::string Value(const std::string& field) const override;
    void SetValue(const std::string& field, const std::string& text) override;
    RowState State() const override { return state_; }
    bool Modified() const override { return modified_; }
    void Edit() override;
    void Post() override;
    void Cancel() override;
    void Insert() override;
    void Append() override;
    void Delete() override;

private:
    int FieldIndex(const std::string& field) const;  // throws when unknown
    // Posts a changed edit, drops an unchanged one. Returns the index shift
    // for rows after a dropped new row (-1) or 0.
    int CheckBrowse(int* droppedRow);
    void NewRow(int at);

    std::vector<std::string> fields_;
    std::vector<std::string> defaults_;
    std::vector<bool> required_;
    Validator validator_;
    std::vector<std::vector<std::string>> rows_;
    std::vector<std::string> buffer_;
    int current_ = -1;
    RowState state_ = RowState::Browse;
    bool modified_ = false;
    int posts_ = 0;
};

}  // namespace qv::grid
