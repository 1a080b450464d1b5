-- Neovim's built-in LSP client against kestrel-lsp on the sample unit: the
-- outline's names, kinds and lines, then the bookmark code actions applied
-- through Neovim's own code-action flow. Exits 0 when every check holds.
local kestrel = dofile(vim.fn.fnamemodify(debug.getinfo(1, 'S').source:sub(2), ':h') .. '/kestrel.lua')
local check, unit = kestrel.check, kestrel.unit

-- "kind name line" for each symbol, depth-first, children indented.
local function describe(symbols, out, indent)
  for _, symbol in ipairs(symbols) do
    table.insert(out, string.format('%s%d %s %d', indent, symbol.kind, symbol.name,
      symbol.selectionRange.start.line))
    describe(symbol.children or {}, out, indent .. '  ')
  end
  return out
end

local function outline(client_id)
  local params = { textDocument = vim.lsp.util.make_text_document_params() }
  local answers = vim.lsp.buf_request_sync(0, 'textDocument/documentSymbol', params, 10000)
  check(answers and answers[client_id], 'no documentSymbol answer')
  check(answers[client_id].err == nil, 'documentSymbol failed: ' .. vim.inspect(answers[client_id].err))
  return describe(answers[client_id].result, {}, '')
end

local function same(actual, expected)
  check(#actual == #expected, 'outline has ' .. #actual .. ' entries:\n' .. table.concat(actual, '\n'))
  for i = 1, #expected do
    check(actual[i] == expected[i], 'entry ' .. i .. ': got "' .. actual[i] .. '", want "' .. expected[i] .. '"')
  end
end

-- Runs the code action titled `title` at the cursor, the way a user picks
-- it from vim.lsp.buf.code_action()'s menu, and waits for the buffer to
-- change.
local function run_action(title)
  local before = vim.api.nvim_buf_get_changedtick(0)
  local offered = {}
  vim.ui.select = function(items, _, on_choice)
    for index, item in ipairs(items) do
      table.insert(offered, item[2].title)
      if item[2].title == title then
        return on_choice(item, index)
      end
    end
    on_choice(nil, nil)
  end
  vim.lsp.buf.code_action()
  check(vim.wait(10000, function() return vim.api.nvim_buf_get_changedtick(0) ~= before end),
    '"' .. title .. '" did not change the buffer; offered: ' .. table.concat(offered, ', '))
end

local function main()
  local client_id = kestrel.start()

  local expected = {
    '2 Unit1 0',
    '  5 TShape 11',
    '    6 GetArea 14', '    9 Create 16', '    6 Describe 17', '    6 Scaled 18',
    '  5 TCircle 22',
    '    6 GetArea 25', '    6 Grow 27',
    '  12 RegisterShapes 30', '  12 ShapeCount 31',
    '3 implementation 33',
    '  5 TShape 38',
    '    9 Create 38', '    6 GetArea 43', '    6 Describe 48',
    '    20 check the format 50', '    6 Scaled 53',
    '  5 TCircle 58',
    '    6 GetArea 58', '    6 Grow 63',
    '  12 RegisterShapes 68',
    '  20 the registry is never freed 70',
    '  12 ShapeCount 74',
  }
  same(outline(client_id), expected)

  -- Line 41 is "  FName := AName;"; the cursor stands on the F.
  vim.api.nvim_win_set_cursor(0, { 41, 2 })
  run_action('Insert bookmark')
  local line = vim.api.nvim_buf_get_lines(0, 40, 41, true)[1]
  check(line == '  {//*}FName := AName;', 'after the insertion the line reads "' .. line .. '"')

  -- The edit reached the server through Neovim's change notifications.
  local with_bookmark = vim.deepcopy(expected)
  table.insert(with_bookmark, 15, '    20 FName := AName; 40')
  same(outline(client_id), with_bookmark)

  run_action('Remove bookmark')
  line = vim.api.nvim_buf_get_lines(0, 40, 41, true)[1]
  check(line == '  FName := AName;', 'after the removal the line reads "' .. line .. '"')
  same(outline(client_id), expected)

  kestrel.stop(client_id)
end

kestrel.run('outline', main)
