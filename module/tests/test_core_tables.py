"""_core_tables(): the twenty keys in order, the shapes and row counts, every published row,
and a new dict on every call."""

import unittest

from duvevodavid import _zqobjects as m

KEYS = ["zq_core_domains", "zq_sys_domains", "zq_domains", "base_transport", "base_method", "base_route",
        "common_transports", "common_methods", "common_routes", "common_dataTypes", "common_compressTypes",
        "common_inTypes", "in_types_compression", "legacy_mime_to_intype", "legacy_intype_to_mime",
        "file_extension_to_intype", "vorn_object_types", "vorn_ranges", "vorn_object_id_start",
        "vorn_object_id_end"]

IN_TYPES = ("none unknown html css js ts tsx jsx svg txt xml log pdf wasm py c h cpp hpp rs go java kt swift cs php "
            "rb lua sh ps1 sql proto graphql asm bat cmd exe dll so dylib obj class jar apk png jpg webp avif tif ico "
            "wav flac aac m4a ogg opus mp4 mkv webm mov docx xlsx pptx ttf otf woff woff2 sqlite parquet npy npz "
            "pem").split()
STORED_PLAIN = {12, 42, 43, 44, 45, 46, 47, 48, 49, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 65, 66, 68, 70}

# Media types grouped by the name they map to, in table order.
MIME_GROUPS = [
    ("html", "text/html application/xhtml+xml"), ("css", "text/css"),
    ("js", "application/javascript text/javascript application/ecmascript text/ecmascript"),
    ("ts", "application/typescript text/typescript"), ("tsx", "text/tsx"), ("jsx", "text/jsx"),
    ("svg", "image/svg+xml"), ("txt", "text/plain"), ("log", "text/x-log"), ("xml", "application/xml text/xml"),
    ("pdf", "application/pdf"), ("wasm", "application/wasm"), ("py", "text/x-python application/x-python-code"),
    ("c", "text/x-c"), ("h", "text/x-chdr"), ("cpp", "text/x-c++"), ("hpp", "text/x-c++hdr"), ("rs", "text/x-rust"),
    ("go", "text/x-go"), ("java", "text/x-java-source"), ("kt", "text/x-kotlin"), ("swift", "text/x-swift"),
    ("cs", "text/x-csharp"), ("php", "application/x-httpd-php"), ("rb", "text/x-ruby"), ("lua", "text/x-lua"),
    ("sh", "application/x-sh text/x-shellscript"), ("ps1", "text/x-powershell"), ("sql", "application/sql"),
    ("proto", "application/x-protobuf"), ("graphql", "application/graphql"), ("asm", "text/x-asm"),
    ("bat", "application/x-bat"), ("cmd", "application/x-cmd"),
    ("exe", "application/vnd.microsoft.portable-executable"), ("dll", "application/x-msdownload"),
    ("so", "application/x-sharedlib"), ("dylib", "application/x-mach-binary"), ("obj", "application/x-object"),
    ("class", "application/java-vm"), ("jar", "application/java-archive"),
    ("apk", "application/vnd.android.package-archive"), ("png", "image/png"), ("jpg", "image/jpeg"),
    ("webp", "image/webp"), ("avif", "image/avif"), ("tif", "image/tiff"),
    ("ico", "image/x-icon image/vnd.microsoft.icon"), ("wav", "audio/wav audio/x-wav"), ("flac", "audio/flac"),
    ("aac", "audio/aac"), ("m4a", "audio/mp4"), ("ogg", "audio/ogg"), ("opus", "audio/opus"), ("mp4", "video/mp4"),
    ("mkv", "video/x-matroska"), ("webm", "video/webm"), ("mov", "video/quicktime"),
    ("docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"),
    ("xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"),
    ("pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"),
    ("ttf", "font/ttf"), ("otf", "font/otf"), ("woff", "font/woff"), ("woff2", "font/woff2"),
    ("sqlite", "application/vnd.sqlite3 application/x-sqlite3"), ("parquet", "application/vnd.apache.parquet"),
    ("npy", "application/x-npy"), ("npz", "application/x-npz"),
    ("pem", "application/x-pem-file application/pem-certificate-chain text/x-pem-file"),
]
EXTRA_EXTENSIONS = {"html": ["htm"], "cpp": ["cc", "cxx"], "hpp": ["hh", "hxx"], "kt": ["kts"], "sh": ["bash"],
                    "graphql": ["gql"], "asm": ["s"], "obj": ["o"], "jpg": ["jpeg", "jpe"], "tif": ["tiff"],
                    "sqlite": ["sqlite3"]}


def expected_tables():
    standard = IN_TYPES[2:]
    mime = [(media, name) for name, medias in MIME_GROUPS for media in medias.split()]
    extensions = [(e, name) for name in standard for e in [name] + EXTRA_EXTENSIONS.get(name, [])]
    return {
        "zq_core_domains": ("core", "gw", "vorn", "abs"),
        "zq_sys_domains": ("zq", "sys"),
        "zq_domains": ("com", "net", "gov"),
        "base_transport": "zq:quik:real",
        "base_method": "get",
        "base_route": "zq:net",
        "common_transports": {"zq:quik:dev": 0, "zq:raw:dev": 1, "zq:quik:net": 2},
        "common_methods": {"get": 0, "post": 1, "put": 2, "delete": 3, "patch": 4, "zq:sys": 7},
        "common_routes": {"api": 0, "zq:net": 1},
        "common_dataTypes": {"static": 1, "api": 2, "img": 3, "fat": 4, "stream": 5},
        "common_compressTypes": {"none": 0, "zstd": 1},
        "common_inTypes": {name: code for code, name in enumerate(IN_TYPES)},
        "in_types_compression": {code: (0, 0, 0, 0) if code in STORED_PLAIN else (1, 0, 0, 2)
                                 for code in range(2, 72)},
        "legacy_mime_to_intype": dict(mime),
        "legacy_intype_to_mime": {name: medias.split()[0] for name, medias in
                                  sorted(MIME_GROUPS, key=lambda group: IN_TYPES.index(group[0]))},
        "file_extension_to_intype": dict(extensions),
        "vorn_object_types": {0: "gbn", 2: "user", 3: "company", 4: "project", 5: "product", 6: "service",
                              7: "doo", 8: "federation", 9: "region", 255: "freenet"},
        "vorn_ranges": {8: (2000, 3000), 9: (100000, 4295067296)},
        "vorn_object_id_start": 100000,
        "vorn_object_id_end": 2 ** 48,
    }


class CoreTablesTest(unittest.TestCase):
    def test_keys_in_order(self):
        self.assertEqual(list(m._core_tables()), KEYS)
        self.assertEqual(m.__all__[-1], "_core_tables")

    def test_row_counts(self):
        tables = m._core_tables()
        counts = {"common_transports": 3, "common_methods": 6, "common_routes": 2, "common_dataTypes": 5,
                  "common_compressTypes": 2, "common_inTypes": 72, "in_types_compression": 70,
                  "legacy_mime_to_intype": 83, "legacy_intype_to_mime": 70, "file_extension_to_intype": 84,
                  "vorn_object_types": 10, "vorn_ranges": 2}
        for key, count in counts.items():
            self.assertEqual(len(tables[key]), count, key)

    def test_every_row_in_order(self):
        tables, expected = m._core_tables(), expected_tables()
        for key in KEYS:
            value = tables[key]
            self.assertEqual(type(value), type(expected[key]), key)
            self.assertEqual(value, expected[key], key)
            if isinstance(value, dict):
                self.assertEqual(list(value.items()), list(expected[key].items()), key)

    def test_rows_easy_to_get_wrong(self):
        tables = m._core_tables()
        compression = tables["in_types_compression"]
        self.assertEqual((compression[44], compression[2]), ((0, 0, 0, 0), (1, 0, 0, 2)))
        self.assertNotIn(0, compression)
        self.assertNotIn(1, compression)
        mime = tables["legacy_mime_to_intype"]
        self.assertEqual((mime["audio/mp4"], mime["video/mp4"], mime["text/x-log"]), ("m4a", "mp4", "log"))
        self.assertEqual(tables["legacy_intype_to_mime"]["js"], "application/javascript")
        extensions = tables["file_extension_to_intype"]
        self.assertEqual([extensions[e] for e in ("jpg", "jpeg", "jpe", "o")], ["jpg", "jpg", "jpg", "obj"])

    def test_new_objects_on_every_call(self):
        first, second = m._core_tables(), m._core_tables()
        self.assertEqual(first, second)
        self.assertIsNot(first, second)
        first["common_methods"]["get"] = 99
        first["vorn_ranges"].clear()
        del first["base_route"]
        third = m._core_tables()
        self.assertEqual(third, second)
        self.assertEqual(third["common_methods"]["get"], 0)

    def test_function_object(self):
        self.assertEqual(m._core_tables.__name__, "_core_tables")
        self.assertIs(m._core_tables.__self__, m)
        self.assertEqual(m._core_tables.__module__, m.__name__)
        self.assertEqual(m._core_tables.__text_signature__, "()")
        self.assertTrue(m._core_tables.__doc__)
        with self.assertRaises(TypeError):
            m._core_tables(1)


if __name__ == "__main__":
    unittest.main()
