# refdb_tests: the Access fixture files and the mdb-export program they are compared with.
# Both are optional; the tests that need them skip when they are absent.
# KV_MDB_FIXTURES_DIR (root CMakeLists.txt) names the folder of the Access sample files.
get_filename_component(kv_mdb_fixtures "${KV_MDB_FIXTURES_DIR}" ABSOLUTE)
if(KV_MDB_FIXTURES_DIR AND EXISTS "${kv_mdb_fixtures}/nwind.mdb")
    target_compile_definitions(refdb_tests PRIVATE KV_MDB_FIXTURES="${kv_mdb_fixtures}")
endif()
find_program(KV_MDB_EXPORT mdb-export)
if(KV_MDB_EXPORT)
    target_compile_definitions(refdb_tests PRIVATE KV_MDB_EXPORT="${KV_MDB_EXPORT}")
endif()
