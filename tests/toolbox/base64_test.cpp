#include <gtest/gtest.h>

#include "toolbox/base64.h"

using namespace corvane;

TEST(Base64, Rfc4648Vectors) {
  const char* plain[] = {"", "f", "fo", "foo", "foob", "fooba", "foobar"};
  const char* coded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(Base64Encode(std::string_view(plain[i])), coded[i]);
    EXPECT_EQ(Base64DecodeText(coded[i]), std::string(plain[i]));
  }
  std::vector<std::uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(Base64Decode(Base64Encode(all)), all);
}

TEST(Base64, DecoderSkipsWhitespaceAndRejectsTheRest) {
  EXPECT_EQ(Base64DecodeText(" Zm9v\r\nYmFy\t"), std::string("foobar"));
  for (const char* bad : {"Zm9", "Zm9v!", "Z===", "Zg=a", "Zg==Zg==", "=Zg=", "Zm-v"})
    EXPECT_FALSE(Base64Decode(bad)) << bad;
}
