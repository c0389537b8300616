const f = async (x) => { return x ?? null; }; /* done */
let s = 'text', n = 1.5e3;
