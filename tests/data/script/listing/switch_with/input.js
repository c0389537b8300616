function pick(v) {
    switch (v) {
    case 1:
        return "one";
    case "two":
    case 2:
        v = 2;
        break;
    default:
        v = 0;
    }
    with (Math) {
        v = floor(v);
        while (v) { break; }
    }
    return v;
}
