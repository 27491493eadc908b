#include "table/grid_model.h"

#include <QElapsedTimer>
#include <algorithm>

#include "engine/codepage.h"
#include "table/ansi_text.h"
#include "table/messages.h"

namespace tabvue::gui {

using engine::FieldKind;
using engine::RecordNo;

namespace {

constexpr int memoPreviewChars = 200;

bool isNumeric(FieldKind kind) {
    switch (kind) {
    case FieldKind::SmallInt:
    case FieldKind::Integer:
    case FieldKind::AutoInc:
    case FieldKind::Float:
    case FieldKind::Currency:
        return true;
    default:
        return false;
    }
}

// Memo text uses CR LF between lines in the file; editors use LF.
QString memoToEditor(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar('\r'), QChar('\n'));
    return text;
}

QString memoPreview(const QString& text) {
    qsizetype end = text.size();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QChar('\r') || text[i] == QChar('\n')) {
            end = i;
            break;
        }
    }
    QString line = text.left(std::min<qsizetype>(end, memoPreviewChars));
    if (line.size() < text.size())
        line += QStringLiteral("\u2026");
    return line;
}

// Runs engine calls of our own without the view listener turning them into a reload.
class OwnChange {
public:
    explicit OwnChange(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
    ~OwnChange() { flag_ = previous_; }
    OwnChange(const OwnChange&) = delete;
    OwnChange& operator=(const OwnChange&) = delete;

private:
    bool& flag_;
    bool previous_;
};

// Marks a row insertion or removal in flight, during which the model does not grow itself.
using Changing = OwnChange;

} // namespace

GridModel::GridModel(engine::Table& table, QObject* parent) : QAbstractTableModel(parent), table_(table) {
    listener_ = table_.addViewListener([this] { onViewChanged(); });
    settleTimer_.setInterval(0);
    connect(&settleTimer_, &QTimer::timeout, this, &GridModel::settleStep);
}

GridModel::~GridModel() {
    if (listener_ >= 0)
        table_.removeViewListener(listener_);
}

void GridModel::dropCache() const {
    cache_.clear();
    lru_.clear();
}

void GridModel::reload() {
    Changing changing(changing_);
    beginResetModel();
    reloadPending_ = false;
    dropCache();
    fields_.clear();
    known_ = 0;
    currentRow_ = -1;
    if (table_.isOpen()) {
        OwnChange own(ownChange_);
        fields_ = table_.fields();
        try {
            known_ = table_.viewCount();
        } catch (const std::exception&) {
            known_ = 0; // an unreadable file shows its columns and no rows
        }
    }
    endResetModel();
    if (table_.isOpen() && !table_.viewComplete())
        settleTimer_.start();
    else
        settleTimer_.stop();
}

void GridModel::runOwnChange(const std::function<void()>& change) {
    OwnChange own(ownChange_);
    change();
}

void GridModel::refresh() {
    if (!table_.isOpen() || fields_.empty())
        return;
    {
        OwnChange own(ownChange_);
        try {
            table_.refresh();
            if (known_ > 0)
                table_.viewRecord(known_ - 1); // settle the view as far as it was
        } catch (const std::exception&) {
        }
    }
    invalidate();
    syncRowCount();
}

void GridModel::invalidate() {
    dropCache();
    const int rows = rowCount();
    const int cols = columnCount();
    if (rows > 0 && cols > 0)
        emit dataChanged(index(0, 0), index(rows - 1, cols - 1));
}

RecordNo GridModel::recordAt(int row) const {
    if (row <= newItemRow || row > known_)
        return 0;
    const Row* r = rowData(row);
    return r ? r->rec : 0;
}

int GridModel::rowOfRecord(RecordNo rec) {
    if (!table_.isOpen() || rec == 0)
        return -1;
    OwnChange own(ownChange_);
    std::int64_t pos = -1;
    try {
        pos = table_.viewPosition(rec);
    } catch (const std::exception&) {
        return -1;
    }
    if (pos < 0 || pos >= known_)
        return -1;
    return static_cast<int>(pos + 1);
}

bool GridModel::isMemo(int column) const {
    return column >= 0 && column < static_cast<int>(fields_.size()) && fields_[column].kind == FieldKind::Memo;
}

bool GridModel::isLogical(int column) const {
    return column >= 0 && column < static_cast<int>(fields_.size()) && fields_[column].kind == FieldKind::Boolean;
}

void GridModel::setCurrentRow(int row) {
    if (row == currentRow_)
        return;
    const int old = currentRow_;
    currentRow_ = row;
    const int rows = rowCount();
    if (old >= 0 && old < rows)
        emit headerDataChanged(Qt::Vertical, old, old);
    if (row >= 0 && row < rows)
        emit headerDataChanged(Qt::Vertical, row, row);
}

int GridModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || fields_.empty())
        return 0;
    return static_cast<int>(std::min<std::int64_t>(known_ + 1, INT32_MAX));
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(fields_.size());
}

const GridModel::Row* GridModel::rowData(int row) const {
    if (row <= newItemRow || row > known_)
        return nullptr;
    const std::int64_t pos = row - 1;
    const std::int64_t blockNo = pos / blockRows;
    auto it = cache_.find(blockNo);
    if (it != cache_.end()) {
        lru_.splice(lru_.begin(), lru_, it->second.lru);
    } else {
        Block block;
        const std::int64_t first = blockNo * blockRows;
        const std::int64_t last = std::min<std::int64_t>(first + blockRows, known_);
        auto* self = const_cast<GridModel*>(this);
        OwnChange own(self->ownChange_);
        block.rows.reserve(static_cast<std::size_t>(last - first));
        for (std::int64_t p = first; p < last; ++p) {
            Row r;
            try {
                r.rec = table_.viewRecord(p);
            } catch (const std::exception&) {
                r.rec = 0;
            }
            r.text.reserve(static_cast<qsizetype>(fields_.size()));
            r.checked.assign(fields_.size(), false);
            for (int c = 0; c < static_cast<int>(fields_.size()); ++c) {
                if (r.rec == 0) {
                    r.text.append(QString());
                    continue;
                }
                try {
                    if (fields_[c].kind == FieldKind::Boolean) {
                        r.checked[c] = table_.logicalValue(r.rec, c);
                        r.text.append(QString());
                    } else if (fields_[c].kind == FieldKind::Memo) {
                        r.text.append(memoPreview(fromAnsi(table_.displayText(r.rec, c))));
                    } else {
                        r.text.append(fromAnsi(table_.displayText(r.rec, c)));
                    }
                } catch (const std::exception& e) {
                    r.text.append(QStringLiteral("<%1>").arg(errorText(e)));
                }
            }
            block.rows.push_back(std::move(r));
        }
        lru_.push_front(blockNo);
        block.lru = lru_.begin();
        it = cache_.emplace(blockNo, std::move(block)).first;
        while (cache_.size() > static_cast<std::size_t>(maxBlocks)) {
            cache_.erase(lru_.back());
            lru_.pop_back();
        }
    }
    const auto offset = static_cast<std::size_t>(pos - blockNo * blockRows);
    if (offset >= it->second.rows.size())
        return nullptr;
    return &it->second.rows[offset];
}

QString GridModel::fullText(RecordNo rec, int column) const {
    QString text = fromAnsi(table_.displayText(rec, column));
    return isMemo(column) ? memoToEditor(text) : text;
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const int col = index.column();
    const bool logical = isLogical(col);
    switch (role) {
    case Qt::DisplayRole: {
        if (logical || index.row() == newItemRow)
            return {};
        const Row* r = rowData(index.row());
        return r ? QVariant(r->text[col]) : QVariant();
    }
    case Qt::EditRole: {
        if (logical)
            return {};
        if (index.row() == newItemRow)
            return QString();
        const Row* r = rowData(index.row());
        if (!r || r->rec == 0)
            return QString();
        if (isMemo(col)) {
            try {
                auto* self = const_cast<GridModel*>(this);
                OwnChange own(self->ownChange_);
                return fullText(r->rec, col);
            } catch (const std::exception&) {
                return r->text[col];
            }
        }
        return r->text[col];
    }
    case Qt::CheckStateRole: {
        if (!logical)
            return {};
        if (index.row() == newItemRow)
            return Qt::Unchecked;
        const Row* r = rowData(index.row());
        return (r && r->checked[col]) ? Qt::Checked : Qt::Unchecked;
    }
    case Qt::TextAlignmentRole:
        if (isNumeric(fields_[col].kind))
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    const int col = index.column();
    if (col >= columnCount() || !table_.isOpen() || table_.readOnly())
        return f;
    const FieldKind kind = fields_[col].kind;
    if (kind == FieldKind::Blob || kind == FieldKind::AutoInc)
        return f;
    if (kind == FieldKind::Boolean)
        return f | Qt::ItemIsUserCheckable;
    return f | Qt::ItemIsEditable;
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= columnCount())
            return {};
        const engine::Field& field = fields_[section];
        if (role == Qt::DisplayRole)
            return fromAnsi(field.name);
        if (role == Qt::ToolTipRole) {
            const auto& d = table_.descriptors()[field.descriptor];
            QString tip = QStringLiteral("%1 %2(%3").arg(fromAnsi(field.name)).arg(QChar(d.type)).arg(d.width);
            if (d.decimals > 0)
                tip += QStringLiteral(",%1").arg(d.decimals);
            return tip + QStringLiteral(")");
        }
        return {};
    }
    if (role == Qt::DisplayRole) {
        if (section == newItemRow)
            return QStringLiteral("*");
        if (section == currentRow_)
            return QStringLiteral("\u25B6");
        return QString();
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant(Qt::AlignCenter);
    return {};
}

void GridModel::writeValue(RecordNo rec, int column, const QVariant& value, int role) {
    if (role == Qt::CheckStateRole) {
        const bool on = value.toInt() == Qt::Checked;
        if (table_.logicalValue(rec, column) == on)
            return;
        table_.beginEdit(rec);
        table_.setFieldValue(column, engine::Value(on));
        table_.post();
        return;
    }
    QString text = value.toString();
    if (isMemo(column))
        text = memoToEditor(text);
    if (text == fullText(rec, column))
        return; // nothing changed: the file is left alone
    if (isMemo(column))
        text.replace(QChar('\n'), QStringLiteral("\r\n"));
    bool lossless = true;
    const std::string bytes = toAnsi(text, &lossless);
    if (!lossless)
        throw Error("The text holds characters that code page " + std::to_string(engine::ansiCodePage()) +
                    " cannot store");
    table_.beginEdit(rec);
    table_.setFieldText(column, bytes);
    table_.post();
}

RecordNo GridModel::appendWithValue(int column, const QVariant& value, int role) {
    std::string bytes;
    bool on = false;
    if (role == Qt::CheckStateRole) {
        on = value.toInt() == Qt::Checked;
        if (!on)
            return 0; // an unchecked box is what a blank record holds already
    } else {
        QString text = value.toString();
        if (text.isEmpty())
            return 0; // nothing typed: no record
        if (isMemo(column))
            text = memoToEditor(text).replace(QChar('\n'), QStringLiteral("\r\n"));
        bool lossless = true;
        bytes = toAnsi(text, &lossless);
        if (!lossless)
            throw Error("The text holds characters that code page " + std::to_string(engine::ansiCodePage()) +
                        " cannot store");
        // Try the value on an existing record first (never posted), so that a refused value
        // leaves no blank record behind.
        if (table_.recCount() > 0) {
            table_.beginEdit(1);
            try {
                table_.setFieldText(column, bytes);
            } catch (...) {
                table_.cancel();
                throw;
            }
            table_.cancel();
        }
    }
    const RecordNo rec = table_.appendRecord();
    try {
        table_.beginEdit(rec);
        if (role == Qt::CheckStateRole)
            table_.setFieldValue(column, engine::Value(on));
        else
            table_.setFieldText(column, bytes);
        table_.post();
    } catch (...) {
        if (table_.editing())
            table_.cancel();
        try {
            table_.deleteRecord(rec);
        } catch (...) {
        }
        throw;
    }
    return rec;
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return false;
    const int col = index.column();
    if (!(flags(index) & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable)))
        return false;
    const bool logical = isLogical(col);
    if ((logical && role != Qt::CheckStateRole) || (!logical && role != Qt::EditRole))
        return false;

    notified_ = false;
    try {
        OwnChange own(ownChange_);
        if (index.row() == newItemRow) {
            const RecordNo rec = appendWithValue(col, value, role);
            if (rec == 0)
                return true;
            // The new record is the last of the file: settle the view up to it, then show it.
            table_.viewPosition(rec);
            syncRowCount();
            emit recordAppended(rowOfRecord(rec));
            return true;
        }
        const RecordNo rec = recordAt(index.row());
        if (rec == 0)
            return false;
        writeValue(rec, col, value, role);
    } catch (const std::exception& e) {
        if (table_.editing())
            table_.cancel();
        emit editRefused(errorText(e));
        return false;
    }
    // Under a filter the engine re-reads its view after a write: the record may have left it.
    bool stays = true;
    {
        OwnChange own(ownChange_);
        const std::int64_t pos = index.row() - 1;
        try {
            stays = table_.viewRecord(pos) == recordAt(index.row()) || table_.viewRecord(pos) == 0;
            if (known_ > 0)
                table_.viewRecord(known_ - 1);
            stays = stays && table_.viewPosition(recordAt(index.row())) == pos;
        } catch (const std::exception&) {
            stays = false;
        }
    }
    if (!stays) {
        reload();
        return true;
    }
    const int blockNo = (index.row() - 1) / blockRows;
    if (auto it = cache_.find(blockNo); it != cache_.end()) {
        lru_.erase(it->second.lru);
        cache_.erase(it);
    }
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
    syncRowCount();
    return true;
}

void GridModel::deleteRow(int row) {
    const RecordNo rec = recordAt(row);
    if (rec == 0)
        return;
    OwnChange own(ownChange_);
    bool failed = false;
    std::string message;
    {
        Changing changing(changing_);
        beginRemoveRows({}, row, row);
        try {
            table_.deleteRecord(rec);
        } catch (const std::exception& e) {
            failed = true;
            message = e.what();
        }
        known_ -= 1;
        dropCache();
        if (currentRow_ == row)
            currentRow_ = -1;
        // The engine starts its view again after a delete; settle it as far as it was.
        if (!failed && known_ > 0) {
            try {
                table_.viewRecord(known_ - 1);
            } catch (const std::exception&) {
            }
        }
        endRemoveRows();
    }
    if (failed) {
        reload();
        throw Error(message);
    }
    syncRowCount();
}

bool GridModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && table_.isOpen() && !fields_.empty() && !table_.viewComplete();
}

void GridModel::fetchMore(const QModelIndex& parent) {
    if (!parent.isValid() && !changing_)
        settleStep();
}

void GridModel::settleAll() {
    if (!table_.isOpen() || fields_.empty() || changing_)
        return;
    {
        OwnChange own(ownChange_);
        try {
            while (!table_.advanceView(1u << 20)) {
            }
        } catch (const std::exception&) {
        }
    }
    syncRowCount();
    settleTimer_.stop();
}

void GridModel::settleStep() {
    if (changing_)
        return;
    if (!table_.isOpen() || fields_.empty()) {
        settleTimer_.stop();
        return;
    }
    // A step stops at its record budget or after a few milliseconds, whichever comes first, so a
    // slow filter never makes the window sluggish.
    constexpr qint64 stepNanoseconds = 8'000'000;
    constexpr std::size_t slice = 2048;
    bool complete = false;
    {
        OwnChange own(ownChange_);
        QElapsedTimer clock;
        clock.start();
        std::size_t done = 0;
        try {
            complete = table_.viewComplete();
            while (!complete && done < settleBudget_ && clock.nsecsElapsed() < stepNanoseconds) {
                const std::size_t n = std::min(slice, settleBudget_ - done);
                complete = table_.advanceView(n);
                done += n;
            }
        } catch (const std::exception&) {
            complete = true; // a read failure ends the settling; the rows known so far stay
        }
    }
    syncRowCount();
    if (complete)
        settleTimer_.stop();
}

void GridModel::syncRowCount() {
    std::int64_t count = 0;
    {
        OwnChange own(ownChange_);
        try {
            count = table_.viewCount();
        } catch (const std::exception&) {
            return;
        }
    }
    count = std::min<std::int64_t>(count, INT32_MAX - 1);
    if (count > known_) {
        Changing changing(changing_);
        beginInsertRows({}, static_cast<int>(known_ + 1), static_cast<int>(count));
        // The block that held the old last rows was cut short; it is read again.
        if (auto it = cache_.find(known_ / blockRows); it != cache_.end()) {
            lru_.erase(it->second.lru);
            cache_.erase(it);
        }
        known_ = count;
        endInsertRows();
    } else if (count < known_) {
        reload();
    }
    if (table_.isOpen() && !table_.viewComplete() && !settleTimer_.isActive())
        settleTimer_.start();
}

void GridModel::onViewChanged() {
    if (ownChange_) {
        notified_ = true;
        return;
    }
    // Someone else changed the view (a filter, a translation switch): re-read once the engine
    // call that told us has returned.
    if (reloadPending_)
        return;
    reloadPending_ = true;
    QMetaObject::invokeMethod(this, [this] {
        if (reloadPending_)
            reload();
    }, Qt::QueuedConnection);
}

} // namespace tabvue::gui
