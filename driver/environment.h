// CHEnvironment: an ODBC environment handle; owns its connections.
#pragma once

#include "driver/handle.h"

namespace kestrion {

class CHEnvironment : public CSQLHandle {
 public:
  // Creates an environment (ODBC behaviour version 3, default attributes);
  // null when it could not be created.
  static CHEnvironment* Create();
  ~CHEnvironment() override;

  int32_t _GetODBCVersion() override { return odbc_version; }
  CSQLHandle* _CreateChild(HandleKind kind) override;
  AttributeCell* _GetAvailableAttribute(int32_t id, int16_t record, uint32_t access) override;
  void _SetAttribute(AttributeCell& cell, int32_t id, SQLPOINTER value, SQLLEN length,
                     int16_t record) override;
  // Sets the environment attributes to their defaults.
  virtual void _ResetAttributes();
  virtual void _Reserved() {}

  int32_t odbc_version = SQL_OV_ODBC3;

 private:
  CHEnvironment() : CSQLHandle(HandleKind::Environment, nullptr) {}

  // Attribute cells (environment_attributes.cpp).
  AttributeCell odbc_version_cell_ = AttributeCell::Int32(SQL_OV_ODBC3);
  AttributeCell connection_pooling_cell_ = AttributeCell::Int32(0);
  AttributeCell cp_match_cell_ = AttributeCell::Int32(0);
  AttributeCell output_nts_cell_ = AttributeCell::Int32(SQL_TRUE);
};

}  // namespace kestrion
