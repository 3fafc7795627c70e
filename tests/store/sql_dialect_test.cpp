#include "store/sql_dialect.h"

#include <gtest/gtest.h>

namespace pellandrix {
namespace {

TEST(SqlDialectTest, DeleteStarLosesItsStar) {
    EXPECT_EQ(ToEngineDelete("delete * from [TPLFile] where TPLFile.ProjectId = 1;"),
              "delete from [TPLFile] where TPLFile.ProjectId = 1;");
    EXPECT_EQ(ToEngineDelete("  DELETE  *FROM [x];"), "  DELETE FROM [x];");
    EXPECT_EQ(ToEngineDelete("delete from [x];"), "delete from [x];");
    EXPECT_EQ(ToEngineDelete("update [x] set a = '* from';"), "update [x] set a = '* from';");
    EXPECT_EQ(ToEngineDelete("deleted * from"), "deleted * from");
}

TEST(SqlDialectTest, SelectWithoutOrderGetsAscendingId) {
    EXPECT_EQ(ToEngineSelect("select * from [project];"), "select * from [project] order by Id;");
    EXPECT_EQ(ToEngineSelect("select * from [TPLFile] where ProjectId = 5"),
              "select * from [TPLFile] where ProjectId = 5 order by Id");
    EXPECT_EQ(ToEngineSelect("select * from t ORDER  BY x;"), "select * from t ORDER  BY x;");
    EXPECT_EQ(ToEngineSelect("select * from t where a = 'order by';"),
              "select * from t where a = 'order by' order by Id;");
    EXPECT_EQ(ToEngineSelect("select * from t where a = 'it''s order by x';"),
              "select * from t where a = 'it''s order by x' order by Id;");
    EXPECT_EQ(ToEngineSelect("select * from t where reorder by = 1;"),
              "select * from t where reorder by = 1 order by Id;");
    EXPECT_EQ(ToEngineSelect("insert into t values (1);"), "insert into t values (1);");
}

}  // namespace
}  // namespace pellandrix
