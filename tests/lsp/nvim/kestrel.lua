-- What the Neovim test scripts share: the server and the unit from the
-- environment (run.sh sets them), a check that fails the test, starting
-- kestrel-lsp on the unit with its folder as the workspace, and stopping it.
local M = {}

M.server = assert(os.getenv('KESTREL_LSP'), 'KESTREL_LSP not set')
M.unit = assert(os.getenv('KESTREL_UNIT'), 'KESTREL_UNIT not set')

function M.check(condition, message)
  if not condition then
    error(message, 2)
  end
end

-- Opens the unit, starts the server on it and waits until it is
-- initialized. Returns the client's id and the client.
function M.start()
  vim.cmd('edit ' .. vim.fn.fnameescape(M.unit))
  local client_id = vim.lsp.start_client({
    name = 'kestrel',
    cmd = { M.server },
    root_dir = vim.fn.fnamemodify(M.unit, ':h'),
    on_exit = function(code) M.exit_code = code end,
  })
  M.check(client_id, 'the client did not start')
  vim.lsp.buf_attach_client(0, client_id)
  local client
  M.check(vim.wait(10000, function()
    client = vim.lsp.get_client_by_id(client_id)
    return client and client.initialized
  end), 'the server did not initialize')
  return client_id, client
end

-- Stops the client; the server must end with exit code 0.
function M.stop(client_id)
  vim.lsp.stop_client(client_id)
  M.check(vim.wait(10000, function() return M.exit_code ~= nil end), 'the server did not exit')
  M.check(M.exit_code == 0, 'the server exited with ' .. tostring(M.exit_code))
end

-- Runs the test `main` and quits: "nvim NAME test passed" and exit code 0
-- when every check held, else the failure on standard error and exit code 1.
function M.run(name, main)
  local ok, message = pcall(main)
  if not ok then
    io.stderr:write('FAIL: ' .. tostring(message) .. '\n')
    vim.cmd('cquit 1')
  end
  io.stdout:write('nvim ' .. name .. ' test passed\n')
  vim.cmd('qall!')
end

return M
