// The mesh controls: the Mesh select (the dialogue's three meshes and a
// very fine one of 200 across) and the box for any number of nodes across,
// which overrides the select when filled. Both reach the program as
// --nodes-across=N; the mesh answer is still sent, since the dialogue asks
// it and records it (the very fine choice answers 2, the fine mesh).

const very_fine = { value: "very-fine", answer: "2", across: 200 };
const fewest_across = 3;  // a wall row on each side of one row of fluid
// The program's limits: the dialogue's meshes, and a mesh of --nodes-across,
// which is held to the node indices' range (and to the machine's memory).
const max_mesh_nodes = 2000000;
const max_indexed_nodes = 1000000000;

const $ = (id) => document.getElementById(id);

function box_text() {
    return $("nodes_across").value.trim();
}

function box_is_whole() {
    return /^\d+$/.test(box_text()) && Number(box_text()) >= fewest_across;
}

// The mesh answer the dialogue gets, as text.
export function mesh_answer() {
    const value = $("mesh_choice").value;
    return value === very_fine.value ? very_fine.answer : value;
}

// The nodes across the run is sized by: the box's when it holds a whole
// number of 3 or more, else the very fine choice's, else NaN (the mesh
// answer's).
export function nodes_across() {
    if (box_is_whole()) return Number(box_text());
    return $("mesh_choice").value === very_fine.value ? very_fine.across : NaN;
}

// What the program would refuse of the box: null when empty or fine.
export function nodes_across_problem() {
    const text = box_text();
    const refused = text !== "" && !box_is_whole();
    $("nodes_across").setAttribute("aria-invalid", refused ? "true" : "false");
    return refused ? `The nodes across must be a whole number of ${fewest_across} or more, such as 200, not "${text}"; or leave the box empty to use the Mesh choice.` : null;
}

// The program's cap on the node count, and what it says to do beyond it.
export function node_limit() {
    return Number.isFinite(nodes_across())
        ? { most: max_indexed_nodes, advice: "give fewer nodes across or a shorter tunnel" }
        : { most: max_mesh_nodes, advice: "choose a coarser mesh or a shorter tunnel" };
}

// "--nodes-across=M gives X": the fewest nodes across that give an
// obstacle filling `fraction` of the grid's height `wanted` node spacings,
// fraction (M - 1) >= wanted, as the program's coarse_obstacle warning says.
export function nodes_across_advice(fraction, wanted) {
    let across = Math.ceil(wanted / fraction) + 1;
    while (fraction * (across - 1) < wanted) ++across;
    return `--nodes-across=${across} gives ${(fraction * (across - 1)).toFixed(1)} (type ${across} in the nodes-across box)`;
}

// Which control sizes the mesh, in words, and the select shown as
// overridden while the box does; picture_rows: the picture's height in
// pixels, which bounds how finely the body is drawn.
export function show_mesh_source(picture_rows) {
    const boxed = box_is_whole();
    $("mesh_choice").closest("label").classList.toggle("overridden", boxed);
    const chosen = $("mesh_choice").selectedOptions[0]?.textContent ?? "";
    const very = $("mesh_choice").value === very_fine.value ? ", sent as --nodes-across=200 with the fine mesh's answer" : "";
    const refused = box_text() !== "" && !boxed ? ` The box's "${box_text()}" is not a whole number of ${fewest_across} or more, so it is not used.` : "";
    $("mesh_source").textContent = boxed
        ? `Sized by the box: ${box_text()} nodes across, in place of the Mesh choice (its answer, ${mesh_answer()}, is still sent and recorded).`
        : `Sized by the Mesh choice: ${chosen}${very}.${refused}`;
    if (nodes_across() > picture_rows) {
        $("mesh_source").textContent += ` The picture has ${picture_rows} pixel rows, fewer than the nodes across: the body is no finer than its pixels.`;
    }
}

// Sets the controls from a run's mesh answer and nodes_across (text, or
// absent).
export function fill_mesh(answer, across) {
    const very = String(across ?? "") === String(very_fine.across) && String(answer) === very_fine.answer;
    $("mesh_choice").value = very ? very_fine.value : String(answer);
    $("nodes_across").value = across && !very ? String(across) : "";
}
