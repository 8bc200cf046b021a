# refdb_tests: the Access fixture files and the mdb-export program they are compared with.
# Both are optional; the tests that need them skip when they are absent.
set(KV_MDB_FIXTURES_DIR "${PROJECT_SOURCE_DIR}/../shared/fixtures/mdb" CACHE PATH
    "Folder holding nwind.mdb and datetest.mdb for the Access reader tests")
get_filename_component(kv_mdb_fixtures "${KV_MDB_FIXTURES_DIR}" ABSOLUTE)
if(EXISTS "${kv_mdb_fixtures}/nwind.mdb")
    target_compile_definitions(refdb_tests PRIVATE KV_MDB_FIXTURES="${kv_mdb_fixtures}")
endif()
find_program(KV_MDB_EXPORT mdb-export)
if(KV_MDB_EXPORT)
    target_compile_definitions(refdb_tests PRIVATE KV_MDB_EXPORT="${KV_MDB_EXPORT}")
endif()
