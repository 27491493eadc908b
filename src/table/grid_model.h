#pragma once
#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <list>
#include <unordered_map>
#include <vector>

#include "engine/table.h"

namespace tabvue::gui {

// The grid's model over a table's view. Row 0 is the new-item row (typing there appends a
// record); row r > 0 is view position r - 1. Column c is dataset field c. Records are read from
// the engine in blocks when the grid asks for them and kept in a small cache of recent blocks, so
// the model never holds the table. While the engine is still settling its view (filters, deleted
// records), the model grows in short steps from idle time.
class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int newItemRow = 0;
    static constexpr int blockRows = 128;  // records read per block
    static constexpr int maxBlocks = 64;   // blocks kept

    explicit GridModel(engine::Table& table, QObject* parent = nullptr);
    ~GridModel() override;

    // Re-reads the fields and the view (after opening, filtering); drops the cache.
    void reload();
    // Drops cached text and redraws every row (after a translation switch, a foreign change).
    void invalidate();
    // Re-reads the file for what other windows or programs wrote (records, record count).
    void refresh();

    engine::RecordNo recordAt(int row) const; // 0 for the new-item row and outside the view
    int rowOfRecord(engine::RecordNo rec);    // -1 when the record is not in the view
    engine::Table& table() { return table_; }
    bool isMemo(int column) const;
    bool isLogical(int column) const;

    // The focused row, shown by the record indicator.
    void setCurrentRow(int row);
    int currentRow() const { return currentRow_; }

    // Deletes the record shown in this row; throws tabvue::Error when the engine refuses.
    void deleteRow(int row);

    // Runs engine calls that change the view (translation, filter) without the queued re-read that
    // a foreign change gets; the caller refreshes the model itself afterwards.
    void runOwnChange(const std::function<void()>& change);

    // Settles the whole view now (before going to the last record).
    void settleAll();

    // How many records the idle step settles at a time.
    void setSettleBudget(std::size_t records) { settleBudget_ = records; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

signals:
    // A value the engine refused; nothing was written.
    void editRefused(const QString& message);
    // A record was appended through the new-item row; row is its row, or -1 when the view hides it.
    void recordAppended(int row);

private:
    struct Row {
        engine::RecordNo rec = 0;
        QStringList text;
        std::vector<bool> checked;
    };
    struct Block {
        std::vector<Row> rows;
        std::list<std::int64_t>::iterator lru;
    };

    const Row* rowData(int row) const;
    QString fullText(engine::RecordNo rec, int column) const;
    void writeValue(engine::RecordNo rec, int column, const QVariant& value, int role);
    engine::RecordNo appendWithValue(int column, const QVariant& value, int role);
    void syncRowCount();
    void settleStep();
    void onViewChanged();
    void dropCache() const;

    engine::Table& table_;
    int listener_ = -1;
    bool ownChange_ = false;
    bool notified_ = false;
    bool changing_ = false;
    bool reloadPending_ = false;
    std::vector<engine::Field> fields_;
    std::int64_t known_ = 0; // view records the model exposes
    int currentRow_ = -1;
    std::size_t settleBudget_ = 50000;
    QTimer settleTimer_;
    mutable std::unordered_map<std::int64_t, Block> cache_;
    mutable std::list<std::int64_t> lru_;
};

} // namespace tabvue::gui
