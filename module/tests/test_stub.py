"""The type stub shipped beside the module, held against the module itself: valid Python with no
docstrings, py.typed beside it, the same names as __all__, and for every class the same members
(methods, static methods, properties with or without a setter, constructor, the slots users call,
finality), each callable with the parameter names, order, kinds and defaults of its runtime
signature. The stub is found beside the imported module, so an installed copy is checked too."""

import ast
import functools
import inspect
import os
import textwrap
import types
import unittest

from duvevodavid import _zqobjects as m
from support import type_check

MODULE_DIR = os.path.dirname(m.__file__)
STUB_PATH = os.path.join(MODULE_DIR, "_zqobjects.pyi")

# The slots a user calls through str(), repr(), bool(), == and !=. The ordering comparisons exist
# wherever == does but only return NotImplemented, so the stub leaves them out.
SLOTS = ("__str__", "__repr__", "__bool__", "__eq__", "__ne__")
BASETYPE = 1 << 10  # Py_TPFLAGS_BASETYPE

# Whether a property has a setter shows only on an instance: deleting a property that has one
# raises the module's own error, deleting one without a setter the interpreter's.
NO_DELETER = "property has no deleter"
SAMPLES = {
    "VORNObject": lambda: m.VORNObject(1),
    "Url": lambda: m.Url(),
    "CommandObject": lambda: m.CommandObject(200),
    "STPContainer": lambda: m.STPContainer(None),
    "ITPContainer": lambda: m.ITPContainer("html", b"", 0),
    "VFSDContainer": lambda: m.VFSDContainer(""),
    "FATManifestContainer": lambda: m.FATManifestContainer(0, 1024, 0),
    "DMPContainer": lambda: m.DMPContainer("schema", None),
    "TempDataObject": lambda: m.TempDataObject(),
    "ZQRequest": lambda: m.ZQRequest("get", m.Url()),
    "ZQResponse": lambda: m.ZQResponse("ok"),
}


@functools.cache
def read_stub():
    """The stub's syntax tree; a stub that is not valid Python 3.12 fails every test here."""
    with open(STUB_PATH, encoding="utf-8") as stub:
        return ast.parse(stub.read(), STUB_PATH, feature_version=(3, 12))


def stub_names():
    return {node.name: node for node in read_stub().body if isinstance(node, (ast.ClassDef, ast.FunctionDef))}


def without_first(signature):
    """The signature without `self` or `cls`."""
    return signature.replace(parameters=list(signature.parameters.values())[1:])


# The stub's side: descriptions made from its syntax tree.

def stub_signature(function, bound):
    args = function.args
    positional = args.posonlyargs + args.args
    defaults = [inspect.Parameter.empty] * (len(positional) - len(args.defaults)) + args.defaults
    parameters = []
    for index, (arg, default) in enumerate(zip(positional, defaults)):
        kind = (inspect.Parameter.POSITIONAL_ONLY if index < len(args.posonlyargs)
                else inspect.Parameter.POSITIONAL_OR_KEYWORD)
        parameters.append((arg.arg, kind, default))
    if args.vararg:
        parameters.append((args.vararg.arg, inspect.Parameter.VAR_POSITIONAL, inspect.Parameter.empty))
    for arg, default in zip(args.kwonlyargs, args.kw_defaults):
        parameters.append((arg.arg, inspect.Parameter.KEYWORD_ONLY, default or inspect.Parameter.empty))
    if args.kwarg:
        parameters.append((args.kwarg.arg, inspect.Parameter.VAR_KEYWORD, inspect.Parameter.empty))
    signature = inspect.Signature([
        inspect.Parameter(name, kind, default=default if default is inspect.Parameter.empty
                          else ast.literal_eval(default))
        for name, kind, default in parameters])
    return without_first(signature) if bound else signature


def decorator_names(function):
    return [ast.unparse(decorator) for decorator in function.decorator_list]


def describe_stub_class(node):
    """{member: what it is} for a class of the stub, in the terms describe_runtime_class uses."""
    described = {"(class)": "final" if "final" in decorator_names(node) else "subclassable"}
    for item in node.body:
        if isinstance(item, ast.FunctionDef):
            decorators = decorator_names(item)
            if item.name == "__new__":
                described[item.name] = "constructor %s" % stub_signature(item, bound=True)
            elif decorators == ["staticmethod"]:
                described[item.name] = "static method %s" % stub_signature(item, bound=False)
            elif decorators == ["property"]:
                described[item.name] = "read-only property"
            elif decorators == ["%s.setter" % item.name]:
                described[item.name] = "property with setter"
            else:
                described[item.name] = " ".join(decorators + ["method %s" % stub_signature(item, bound=True)])
        elif isinstance(item, ast.AnnAssign) and ast.unparse(item) == "__hash__: ClassVar[None]":
            described["__hash__"] = "None (unhashable)"
        elif not (isinstance(item, ast.Expr) and isinstance(item.value, ast.Constant)
                  and item.value.value is Ellipsis):
            described[ast.unparse(item)] = "a statement"
    return described


# The runtime's side: the same descriptions made by introspection.

def has_setter(sample, name):
    try:
        delattr(sample, name)
    except AttributeError as error:
        return str(error) == NO_DELETER
    raise AssertionError("deleting %s.%s succeeded" % (type(sample).__name__, name))


def describe_runtime_class(cls):
    described = {"(class)": "subclassable" if cls.__flags__ & BASETYPE else "final"}
    if "__new__" in vars(cls):
        described["__new__"] = "constructor %s" % inspect.signature(cls)
    for name, value in vars(cls).items():
        if name in SLOTS:
            described[name] = "method %s" % without_first(inspect.signature(getattr(cls, name)))
        elif name == "__hash__" and value is None:
            described[name] = "None (unhashable)"
        elif name.startswith("_"):
            continue
        elif isinstance(value, staticmethod):
            described[name] = "static method %s" % inspect.signature(getattr(cls, name))
        elif isinstance(value, types.MethodDescriptorType):
            described[name] = "method %s" % without_first(inspect.signature(value))
        elif isinstance(value, types.GetSetDescriptorType):
            if cls.__name__ not in SAMPLES:
                raise AssertionError("no sample instance of %s to probe its properties" % cls.__name__)
            setter = has_setter(SAMPLES[cls.__name__](), name)
            described[name] = "property with setter" if setter else "read-only property"
        else:
            described[name] = type(value).__name__
    return described


def drift(owner, stub, runtime):
    """One line for every member that the two descriptions disagree on."""
    lines = []
    for name in list(runtime) + [name for name in stub if name not in runtime]:
        if name not in stub:
            lines.append("%s.%s: missing from the stub (runtime: %s)" % (owner, name, runtime[name]))
        elif name not in runtime:
            lines.append("%s.%s: in the stub only (%s)" % (owner, name, stub[name]))
        elif stub[name] != runtime[name]:
            lines.append("%s.%s: stub %s, runtime %s" % (owner, name, stub[name], runtime[name]))
    return lines


class StubTest(unittest.TestCase):
    def setUp(self):
        self.top = stub_names()

    def test_marker_beside_the_module(self):
        self.assertTrue(os.path.isfile(os.path.join(MODULE_DIR, "py.typed")), MODULE_DIR)

    def test_no_docstrings(self):
        for node in ast.walk(read_stub()):
            if isinstance(node, (ast.Module, ast.ClassDef, ast.FunctionDef)):
                self.assertIsNone(ast.get_docstring(node), getattr(node, "name", "the stub module"))

    def test_names_match_all(self):
        declared = [node for node in read_stub().body if isinstance(node, ast.Assign)
                    and [ast.unparse(target) for target in node.targets] == ["__all__"]]
        self.assertEqual(len(declared), 1, "the stub declares __all__ once")
        self.assertEqual(ast.literal_eval(declared[0].value), m.__all__)
        for name in m.__all__:
            expected = ast.ClassDef if isinstance(getattr(m, name), type) else ast.FunctionDef
            self.assertIsInstance(self.top.get(name), expected, name)
        public = [name for name in self.top if not name.startswith("_")]
        self.assertEqual([name for name in public if name not in m.__all__], [], "public names outside __all__")

    def test_classes_match_the_runtime(self):
        for name in m.__all__:
            cls = getattr(m, name)
            if not isinstance(cls, type):
                continue
            with self.subTest(cls=name):
                self.assertIsInstance(self.top.get(name), ast.ClassDef, "%s: missing from the stub" % name)
                lines = drift(name, describe_stub_class(self.top[name]), describe_runtime_class(cls))
                if lines:
                    self.fail("the stub drifted from the module:\n" + "\n".join(lines))

    def test_functions_match_the_runtime(self):
        for name in m.__all__:
            function = getattr(m, name)
            if isinstance(function, type):
                continue
            self.assertIsInstance(self.top.get(name), ast.FunctionDef, "%s: missing from the stub" % name)
            self.assertEqual(str(stub_signature(self.top[name], bound=False)), str(inspect.signature(function)),
                             name)

    def test_core_tables_result_lists_its_keys(self):
        result_type = self.top[ast.unparse(self.top["_core_tables"].returns)]
        keys = [item.target.id for item in result_type.body if isinstance(item, ast.AnnAssign)]
        self.assertEqual([ast.unparse(base) for base in result_type.bases], ["TypedDict"])
        self.assertEqual(keys, list(m._core_tables()))


class StubTypeCheckTest(unittest.TestCase):
    """What a type checker accepts and refuses through the stub, where the annotation is more than
    a name: each refused call sits in a module of its own, which must fail on its last line."""

    ACCEPTED = """
        from duvevodavid._zqobjects import DomainMatcherDict, Url

        flags: dict[str, bool] = {"a.example.org": True}
        limits: dict[str, int] = {"*.example.org": 2}
        assert DomainMatcherDict(flags).match("a.example.org") == 1
        assert DomainMatcherDict(limits).match("b.example.org") == 2
        url = Url("x://h/p")
        typed: dict[str, int] = {"page": 2}
        url.params = typed
    """
    REFUSED = {
        "str_values": """
            names: dict[str, str] = {"a.example.org": "yes"}
            DomainMatcherDict(names)
        """,
        "float_values": """
            ratios: dict[str, float] = {"a.example.org": 0.5}
            DomainMatcherDict(ratios)
        """,
        "int_keys": """
            codes: dict[int, int] = {1: 1}
            DomainMatcherDict(codes)
        """,
        "pairs": """
            DomainMatcherDict([("a.example.org", 1)])
        """,
    }

    def test_accepts_and_refuses(self):
        header = "from duvevodavid._zqobjects import DomainMatcherDict\n"
        sources = {"accepted": textwrap.dedent(self.ACCEPTED)}
        sources.update({name: header + textwrap.dedent(code).strip() + "\n" for name, code in self.REFUSED.items()})
        checked = type_check(sources)
        if checked is None:
            self.skipTest("mypy is not installed; scripts/setup.sh installs it")
        _, report = checked
        self.assertNotIn("accepted.py", report)
        for name, code in sources.items():
            if name != "accepted":
                last_line = code.count("\n")
                self.assertRegex(report, r"(?m)^%s\.py:%d: error:" % (name, last_line), name)
        # The refused calls run, and fail as the checker said they would.
        exec(sources["accepted"], {})
        for name in self.REFUSED:
            with self.subTest(name), self.assertRaises((TypeError, OverflowError)):
                exec(sources[name], {})


if __name__ == "__main__":
    unittest.main()
