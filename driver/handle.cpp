#include "driver/handle.h"

#include "driver/registry.h"

namespace kestrion {

namespace {

HandleKind ExpectedParentKind(HandleKind kind) {
  switch (kind) {
    case HandleKind::Connection:
      return HandleKind::Environment;
    case HandleKind::Statement:
    case HandleKind::Descriptor:
      return HandleKind::Connection;
    default:
      return HandleKind::None;
  }
}

}  // namespace

CSQLHandle::CSQLHandle(HandleKind kind, CSQLHandle* parent) : kind_(kind) {
  // Start-up: the toolbox comes up with the first handle of a period.
  std::u16string failure = HandleRegistry::StartUp();
  if (!failure.empty()) {
    defunct_ = true;
    if (parent != nullptr) parent->Post(SqlState::HY001, failure);
  }
  if (!defunct_) {
    ClearDiagnostics();
    if (!HandleRegistry::Register(this)) {
      defunct_ = true;
      if (parent != nullptr) {
        parent->Post(SqlState::HY001,
                     u"Memory allocation error:\nPOOL: Not enough memory to get track of a new handle.");
      }
    }
  }
  parent_ = parent;
  if (parent != nullptr && !defunct_) CheckParent(ExpectedParentKind(kind));
  if (parent != nullptr) {
    charset = parent->charset;
    open_query = parent->open_query;
    access_compatible = parent->access_compatible;
    windev = parent->windev;
  }
}

void CSQLHandle::CheckParent(HandleKind expected) {
  if (HandleRegistry::KindOf(parent_) != expected) {
    defunct_ = true;
    if (parent_ != nullptr) parent_->Post(SqlState::HY001, u"Not an available parent.");
  }
}

CSQLHandle::~CSQLHandle() {
  if (!HandleRegistry::ToolboxUp()) return;
  DestroyChildren();
  if (parent_ != nullptr) {
    HandleRegistry::RemoveChild(parent_, this);
    parent_ = nullptr;
  }
  HandleRegistry::Unregister(this);
}

void CSQLHandle::DestroyChildren() {
  while (CSQLHandle* child = HandleRegistry::LowestChild(this)) {
    delete child;  // its destruction removes it from our children
  }
}

std::vector<CSQLHandle*> CSQLHandle::Children() const { return HandleRegistry::ChildrenOf(this); }

SQLRETURN CSQLHandle::Post(SqlState state, std::u16string_view message, int32_t native_error) {
  CSQLHandle* target = this;
  while (target != nullptr && target->defunct_) target = target->parent_;
  if (target == nullptr) return SQL_ERROR;
  if (state == SqlState::S00000) return target->return_code_;
  if (!IsWarning(state)) {
    target->return_code_ = SQL_ERROR;
  } else if (target->return_code_ == SQL_SUCCESS) {
    target->return_code_ = SQL_SUCCESS_WITH_INFO;
  }
  // The message ends at its first zero unit, as a C string would.
  std::u16string_view text = message.substr(0, message.find(u'\0'));
  target->diagnostics_.push_back(DiagnosticRecord{state, native_error, corvane::VString(text)});
  target->_OnDiagnosticPosted(state, text);
  return target->return_code_;
}

SQLRETURN CSQLHandle::Post(SqlState state, const char* ascii_message, int32_t native_error) {
  return Post(state, corvane::VString::FromUtf8(ascii_message ? ascii_message : ""), native_error);
}

void CSQLHandle::SetRowAndColumn(std::size_t first, int64_t row, int32_t column) {
  for (std::size_t i = first; i < diagnostics_.size(); ++i) {
    diagnostics_[i].row_number = row;
    diagnostics_[i].column_number = column;
  }
}

void CSQLHandle::ClearDiagnostics() {
  if (return_code_ == SQL_SUCCESS && diagnostics_.empty()) return;
  _OnDiagnosticsCleared();
  diagnostics_.clear();
  return_code_ = SQL_SUCCESS;
}

void CSQLHandle::DropDiagnosticsFrom(std::size_t first) {
  if (first >= diagnostics_.size()) return;
  diagnostics_.erase(diagnostics_.begin() + static_cast<std::ptrdiff_t>(first), diagnostics_.end());
  return_code_ = SQL_SUCCESS;
  for (const DiagnosticRecord& r : diagnostics_) {
    if (!IsWarning(r.state)) {
      return_code_ = SQL_ERROR;
      break;
    }
    return_code_ = SQL_SUCCESS_WITH_INFO;
  }
}

int32_t CSQLHandle::_GetODBCVersion() {
  return parent_ != nullptr ? parent_->_GetODBCVersion() : SQL_OV_ODBC3;
}

bool ErrorSince(const CSQLHandle& handle, std::size_t first) {
  const auto& records = handle.diagnostics();
  for (std::size_t i = first; i < records.size(); ++i) {
    if (!IsWarning(records[i].state)) return true;
  }
  return false;
}

void CSQLHandle::_EndTransaction(int16_t completion) {
  for (CSQLHandle* child : Children()) {
    const std::size_t before = child->diagnostics_.size();
    child->_EndTransaction(completion);
    if (ErrorSince(*child, before)) Post(SqlState::HY000, u"ChildHandle error.");
  }
}

AttributeCell* CSQLHandle::_GetAvailableAttribute(int32_t, int16_t, uint32_t access) {
  if ((access & kAnyAccess) == 0) {
    Post(SqlState::HY092, u"You tried to access a protected/private attribute.");
  } else {
    Post(SqlState::HY092, u"CSQLHandle:_GetAvailableAttribute");
  }
  return nullptr;
}

void CSQLHandle::_SetAttribute(AttributeCell&, int32_t, SQLPOINTER, SQLLEN, int16_t) {}

void CSQLHandle::_CopyLastDiagnostic(CSQLHandle& other) {
  if (other.diagnostics_.empty()) return;
  const DiagnosticRecord last = other.diagnostics_.back();
  Post(last.state, last.message, last.native_error);
}

CSQLHandle* CSQLHandle::_CreateChild(HandleKind) { return nullptr; }

void CSQLHandle::_OnDiagnosticPosted(SqlState, std::u16string_view) {}

std::shared_ptr<std::recursive_mutex> CSQLHandle::_CallLock() const {
  return parent_ != nullptr ? parent_->_CallLock() : nullptr;
}

std::recursive_mutex* CSQLHandle::_CallMutex() const {
  return parent_ != nullptr ? parent_->_CallMutex() : nullptr;
}

void CSQLHandle::_OnDiagnosticsCleared() {}

CancelSignal* CSQLHandle::_CancelSignal() const { return nullptr; }

corvane::VString DiagnosticRecord::FullText() const {
  corvane::VString text(SqlStateText(state));
  if (!message.empty()) {
    text += u":\n";
    text += message;
  }
  return text;
}

}  // namespace kestrion
