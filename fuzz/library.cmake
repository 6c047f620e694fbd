# Snippet import: each parser a file from elsewhere reaches.
quenvil_add_fuzzer(import_csv fuzz_import_csv.cpp LIBS quenvil_library)
quenvil_add_fuzzer(import_xml_plist fuzz_import_xml_plist.cpp LIBS quenvil_library)
quenvil_add_fuzzer(import_bplist fuzz_import_bplist.cpp LIBS quenvil_library)
quenvil_add_fuzzer(import_json fuzz_import_json.cpp LIBS quenvil_library)
