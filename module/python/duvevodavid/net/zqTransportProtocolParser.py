"""Stand-in for the transport token parser of the pure-Python side.

``duvevodavid`` and ``duvevodavid.net`` are namespace packages here (no ``__init__.py``), so a
regular ``duvevodavid.net`` package installed anywhere on ``sys.path`` takes precedence over
this module.
"""


def parse_zq_protocol(token):
    """Split a transport token such as ``"zq:quik:real"`` into its ``":"``-separated parts."""
    if not isinstance(token, str):
        raise TypeError(f"transport token must be str, not {type(token).__name__}")
    return tuple(token.split(":"))
