#include "ui/data/CursorList.h"

#include <commctrl.h>

#include <cstring>

#include "ui/data/DisplayFormat.h"

namespace qv::ui {

namespace {
constexpr UINT kReloadMessage = WM_APP + 1;
}

CursorListView::CursorListView(std::vector<ListColumn> columns, std::string previewField, int dpi)
    : previewField_(std::move(previewField)), dpi_(dpi) {
    for (auto& c : columns)
        if (!c.hidden) columns_.push_back(std::move(c));
}

CursorListView::~CursorListView() { Bind(nullptr); }

HWND CursorListView::Create(HWND parent, int id) {
    CreateWin("QvCursorList", 0, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, "", 0, 0, 0, 0, parent,
              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
    list_ = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL |
                                LVS_SHOWSELALWAYS | LVS_OWNERDATA,
                            0, 0, 0, 0, hwnd(), reinterpret_cast<HMENU>(1),
                            GetModuleHandleA(nullptr), nullptr);
    ListView_SetExtendedListViewStyle(
        list_, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_INFOTIP | LVS_EX_DOUBLEBUFFER);
    for (size_t i = 0; i < columns_.size(); ++i) {
        LVCOLUMNA col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        col.pszText = const_cast<char*>(columns_[i].header.c_str());
        col.cx = win::Scale(columns_[i].width96, dpi_);
        col.iSubItem = static_cast<int>(i);
        SendMessageA(list_, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&col));
    }
    return hwnd();
}

void CursorListView::SetBounds(int x, int y, int width, int height) {
    MoveWindow(hwnd(), x, y, width, height, TRUE);
    MoveWindow(list_, 0, 0, width, height, TRUE);
}

void CursorListView::Bind(engine::Cursor* cursor) {
    if (cursor_ && observer_ >= 0) cursor_->RemoveObserver(observer_);
    cursor_ = cursor;
    observer_ = -1;
    if (cursor_) {
        observer_ = cursor_->AddObserver([this](engine::Cursor&, engine::DataChange change) {
            if (loading_) return;
            if (change == engine::DataChange::Scrolled)
                SelectCurrent();
            else
                ScheduleReload();
        });
    }
    if (hwnd()) Reload();
}

void CursorListView::ScheduleReload() {
    if (reloadPending_ || !hwnd()) return;
    reloadPending_ = true;
    PostMessageA(hwnd(), kReloadMessage, 0, 0);
}

void CursorListView::Reload() {
    reloadPending_ = false;
    rows_.clear();
    previews_.clear();
    // Reading walks the cursor, which must not post or drop an edit for us.
    if (cursor_ && cursor_->active() && cursor_->state() == engine::DatasetState::Browse) {
        loading_ = true;
        struct Restore {
            CursorListView* self;
            int at;
            ~Restore() {
                try {
                    if (at >= 0) self->cursor_->MoveTo(at);
                } catch (...) {
                }
                self->loading_ = false;
            }
        } restore{this, cursor_->RecNo()};
        std::vector<engine::Field*> fields;
        for (const auto& c : columns_) fields.push_back(cursor_->FindField(c.field));
        engine::Field* preview = previewField_.empty() ? nullptr : cursor_->FindField(previewField_);
        const int n = cursor_->RecordCount();
        for (int i = 0; i < n; ++i) {
            cursor_->MoveTo(i);
            std::vector<std::string> row;
            for (auto* f : fields) row.push_back(f ? FieldDisplayText(*f) : std::string());
            rows_.push_back(std::move(row));
            previews_.push_back(preview ? FieldDisplayText(*preview) : std::string());
        }
    }
    if (list_) {
        ListView_SetItemCountEx(list_, static_cast<int>(rows_.size()), LVSICF_NOSCROLL);
        InvalidateRect(list_, nullptr, FALSE);
        SelectCurrent();
    }
}

void CursorListView::SelectCurrent() {
    if (!list_) return;
    int row = cursor_ && cursor_->active() ? cursor_->RecNo() : -1;
    if (row >= static_cast<int>(rows_.size())) row = -1;
    loading_ = true;
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (row >= 0) {
        ListView_SetItemState(list_, row, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(list_, row, FALSE);
    }
    loading_ = false;
}

int CursorListView::ShownIndex(const std::string& field) const {
    for (size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].field == field) return static_cast<int>(i);
    return -1;
}

int CursorListView::ColumnWidth(const std::string& field) const {
    int i = ShownIndex(field);
    return i < 0 || !list_ ? -1 : ListView_GetColumnWidth(list_, i);
}

void CursorListView::SetColumnWidth(const std::string& field, int width) {
    int i = ShownIndex(field);
    if (i >= 0 && list_) ListView_SetColumnWidth(list_, i, width);
}

LRESULT CursorListView::OnNotify(NMHDR* hdr) {
    if (hdr->hwndFrom != list_) return 0;
    switch (hdr->code) {
        case LVN_GETDISPINFOA: {
            auto* di = reinterpret_cast<NMLVDISPINFOA*>(hdr);
            const int row = di->item.iItem, col = di->item.iSubItem;
            if ((di->item.mask & LVIF_TEXT) && row >= 0 && row < rowCount() && col >= 0 &&
                col < static_cast<int>(columns_.size())) {
                lstrcpynA(di->item.pszText, rows_[row][col].c_str(), di->item.cchTextMax);
            }
            return 0;
        }
        case LVN_GETINFOTIPA: {
            auto* tip = reinterpret_cast<NMLVGETINFOTIPA*>(hdr);
            if (tip->iItem >= 0 && tip->iItem < static_cast<int>(previews_.size()) &&
                tip->cchTextMax > 0) {
                lstrcpynA(tip->pszText, previews_[tip->iItem].c_str(), tip->cchTextMax);
            }
            return 0;
        }
        case LVN_ITEMCHANGED: {
            auto* nm = reinterpret_cast<NMLISTVIEW*>(hdr);
            if (!loading_ && cursor_ && cursor_->active() && nm->iItem >= 0 &&
                (nm->uNewState & LVIS_SELECTED) && !(nm->uOldState & LVIS_SELECTED) &&
                nm->iItem != cursor_->RecNo()) {
                loading_ = true;
                struct Done {
                    bool& flag;
                    ~Done() { flag = false; }
                } done{loading_};
                cursor_->MoveTo(nm->iItem);
            }
            return 0;
        }
        default:
            return 0;
    }
}

LRESULT CursorListView::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case kReloadMessage:
            Reload();
            return 0;
        case WM_NOTIFY:
            return OnNotify(reinterpret_cast<NMHDR*>(lp));
        case WM_SETFONT:
            if (list_) SendMessageA(list_, WM_SETFONT, wp, lp);
            return 0;
        case WM_SETFOCUS:
            if (list_) SetFocus(list_);
            return 0;
        default:
            return Default(msg, wp, lp);
    }
}

}  // namespace qv::ui
