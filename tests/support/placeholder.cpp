// Keeps the support library non-empty before any helper exists.
namespace kestrion_test { void support_placeholder() {} }
