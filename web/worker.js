// The page's worker: loads the calculation (SynthfactorsModule, placed
// before this text in the worker's source) and answers the page's
// requests, {id, kind, args} -> {id, result} or {id, error}, with
// {id, progress: {done, total, unit}} while a sweep runs. A plan is
// cancelled by ending its worker, so nothing here needs to stop early.
"use strict";

const ready = SynthfactorsModule();
let calculator = null;

function answer(module, id, kind, args) {
  switch (kind) {
    case "tables":
      return {
        inputs: JSON.parse(module.inputTable()),
        layout: JSON.parse(module.windowLayout()),
        chips: JSON.parse(module.chipList()),
        columns: JSON.parse(module.columnTable()),
        kernel: module.searchKernel(),
      };
    case "run":
      return module.run(args.request, args.point);
    case "reasons":
      return module.reasons(JSON.stringify(args.requests), args.point);
    case "designFile":
      return module.designFile(args.design);
    case "openDesign":
      return module.openDesign(args.text);
    case "channel":
      return module.channel(args.request, args.band || "", args.point);
    case "go":
      if (calculator === null) calculator = new module.Calculator();
      return calculator.go(args.boxes, args.point);
    case "sweep": {
      const out = module.sweep(args.design, args.jsonLines, args.point, (done, total, unit) => {
        postMessage({ id, progress: { done, total, unit } });
      }, args.first ?? 0, args.end ?? -1);
      return { text: out.text, note: out.note, error: out.error };
    }
    case "pointCount":
      return module.pointCount(args.design);
    default:
      throw new Error("unknown request " + kind);
  }
}

onmessage = async (event) => {
  const { id, kind, args } = event.data;
  try {
    const module = await ready;
    postMessage({ id, result: answer(module, id, kind, args) });
  } catch (error) {
    postMessage({ id, error: String((error && error.message) || error) });
  }
};
